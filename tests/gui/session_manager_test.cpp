// The real program on a real X server, registered with a session manager that
// this test plays (XSMP through libSM): a checkpoint leaves it running with
// nothing saved, while a logout ("save yourself" with shutdown) closes its
// window the way a user's close does (position and options saved) and ends it.
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// The one client this manager expects, and what it has said so far.
struct Client {
    SmsConn conn = nullptr;
    bool registered = false;
    int saves_done = 0;
    bool closed = false;
};

Bool accept_any_host(char* /*host*/) { return True; }
// ICE's default ends the process on a broken connection; here the caller of
// IceProcessMessages sees the error and counts the client gone.
void ignore_io_error(IceConn) {}

Status register_client(SmsConn conn, SmPointer data, char* /*previous_id*/) {
    auto* client = static_cast<Client*>(data);
    char* id = SmsGenerateClientID(conn);
    SmsRegisterClientReply(conn, id);
    std::free(id);
    client->registered = true;
    return 1;
}
void interact_request(SmsConn conn, SmPointer, int) { SmsInteract(conn); }
void interact_done(SmsConn, SmPointer, Bool) {}
void save_yourself_request(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void save_yourself_phase2_request(SmsConn conn, SmPointer) { SmsSaveYourselfPhase2(conn); }
void save_yourself_done(SmsConn, SmPointer data, Bool) { ++static_cast<Client*>(data)->saves_done; }
void close_connection(SmsConn conn, SmPointer data, int count, char** reasons) {
    SmFreeReasons(count, reasons);
    auto* client = static_cast<Client*>(data);
    client->closed = true;
    SmsCleanUp(conn);
    client->conn = nullptr;
}
void set_properties(SmsConn, SmPointer, int count, SmProp** props) {
    for (int i = 0; i < count; ++i) SmFreeProperty(props[i]);
    std::free(props);
}
void delete_properties(SmsConn, SmPointer, int count, char** names) {
    for (int i = 0; i < count; ++i) std::free(names[i]);
    std::free(names);
}
void get_properties(SmsConn conn, SmPointer) { SmsReturnProperties(conn, 0, nullptr); }

Client* the_client = nullptr;

Status new_client(SmsConn conn, SmPointer, unsigned long* mask, SmsCallbacks* cb, char** /*failure*/) {
    the_client->conn = conn;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask |
            SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask |
            SmsGetPropertiesProcMask;
    cb->register_client = {register_client, the_client};
    cb->interact_request = {interact_request, the_client};
    cb->interact_done = {interact_done, the_client};
    cb->save_yourself_request = {save_yourself_request, the_client};
    cb->save_yourself_phase2_request = {save_yourself_phase2_request, the_client};
    cb->save_yourself_done = {save_yourself_done, the_client};
    cb->close_connection = {close_connection, the_client};
    cb->set_properties = {set_properties, the_client};
    cb->delete_properties = {delete_properties, the_client};
    cb->get_properties = {get_properties, the_client};
    return 1;
}

class SessionManagerTest : public ::testing::Test {
protected:
    QTemporaryDir config;
    Client client;
    int listen_count = 0;
    IceListenObj* listeners = nullptr;
    std::vector<IceConn> connections;

    QString ini() const { return config.path() + "/VQ-DAZ-ER/VQ-DAZ-ER.ini"; }
    std::string stored(const char* key) const {
        return QSettings(ini(), QSettings::IniFormat).value(key).toString().toStdString();
    }

    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X server";
        ASSERT_TRUE(config.isValid());
        QDir().mkpath(config.path() + "/VQ-DAZ-ER");
        QSettings seeded(ini(), QSettings::IniFormat);
        seeded.setValue("CLI_GBC_BAT_TICKBOX", "1");
        seeded.setValue("AlwaysOnTopTimer_TICKBOX", "0");
        seeded.sync();

        the_client = &client;
        IceSetIOErrorHandler(ignore_io_error);
        char error[256] = "";
        ASSERT_TRUE(SmsInitialize("vqd-test", "1", new_client, nullptr, accept_any_host, sizeof error, error)) << error;
        ASSERT_TRUE(IceListenForConnections(&listen_count, &listeners, sizeof error, error)) << error;
        for (int i = 0; i < listen_count; ++i) IceSetHostBasedAuthProc(listeners[i], accept_any_host);
    }
    void TearDown() override {
        if (client.conn) SmsCleanUp(client.conn);
        for (IceConn c : connections) IceCloseConnection(c);
        if (listeners) IceFreeListenObjs(listen_count, listeners);
        the_client = nullptr;
    }

    void start(QProcess& program) {
        char* ids = IceComposeNetworkIdList(listen_count, listeners);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SESSION_MANAGER", ids);
        std::free(ids);
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(VQD_PROGRAM, {});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    // Serves the manager's side for up to `ms`, until `done` holds.
    bool serve(int ms, const std::function<bool()>& done) {
        QElapsedTimer since;
        since.start();
        while (!done()) {
            if (since.elapsed() > ms) return false;
            std::vector<pollfd> fds;
            for (int i = 0; i < listen_count; ++i) fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
            for (IceConn c : connections) fds.push_back({IceConnectionNumber(c), POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
            const std::size_t polled = connections.size();  // an accept below adds one not polled yet
            for (int i = 0; i < listen_count; ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                IceAcceptStatus status;
                if (IceConn c = IceAcceptConnection(listeners[i], &status)) {
                    // The connection set-up finishes over a few messages.
                    while (IceConnectionStatus(c) == IceConnectPending)
                        if (IceProcessMessages(c, nullptr, nullptr) == IceProcessMessagesIOError) break;
                    if (IceConnectionStatus(c) == IceConnectAccepted) connections.push_back(c);
                    else IceCloseConnection(c);
                }
            }
            for (std::size_t k = 0; k < polled; ++k) {
                if (!(fds[listen_count + k].revents & (POLLIN | POLLHUP))) continue;
                if (IceProcessMessages(connections[k], nullptr, nullptr) == IceProcessMessagesIOError) {
                    if (client.conn) SmsCleanUp(client.conn);
                    client.conn = nullptr;
                    IceCloseConnection(connections[k]);
                    connections.erase(connections.begin() + static_cast<long>(k));
                    client.closed = true;
                    break;
                }
            }
        }
        return true;
    }
};

TEST_F(SessionManagerTest, ACheckpointLeavesTheProgramRunningAndALogoutClosesItSaving) {
    QProcess program;
    start(program);
    bool ended = false;
    const auto has_ended = [&] {
        if (!ended && (program.waitForFinished(0) || program.state() == QProcess::NotRunning)) ended = true;
        return ended;
    };
    ASSERT_TRUE(serve(10000, [&] { return client.registered || has_ended(); }));
    ASSERT_TRUE(client.registered) << "the program never registered with the session manager";
    serve(1500, has_ended);  // up, shown, its timers ticking
    ASSERT_FALSE(has_ended()) << "the program ended on its own";

    // A checkpoint: the session is saved, nobody leaves.
    SmsSaveYourself(client.conn, SmSaveLocal, False, SmInteractStyleNone, False);
    EXPECT_TRUE(serve(5000, [&] { return client.saves_done == 1 || has_ended(); }));
    serve(1000, has_ended);
    ASSERT_FALSE(has_ended()) << "a checkpoint ended the program";
    EXPECT_EQ(client.saves_done, 1) << "no answer to a checkpoint";
    EXPECT_EQ(stored("MainLeft"), "") << "a checkpoint closed the window";

    // The logout. What the program keeps must be on disk by the time it
    // answers: after the answers the manager may end the session at once.
    SmsSaveYourself(client.conn, SmSaveBoth, True, SmInteractStyleAny, False);
    serve(10000, [&] { return client.saves_done == 2 || client.closed || has_ended(); });
    EXPECT_EQ(stored("MainLeft"), "1000") << "not saved when the program answered the logout";
    EXPECT_EQ(stored("MainTop"), "1000");
    EXPECT_EQ(stored("CLI_GBC_BAT_TICKBOX"), "1");
    if (client.conn && !has_ended()) SmsDie(client.conn);
    EXPECT_TRUE(serve(10000, has_ended)) << "the program outlived its session";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
