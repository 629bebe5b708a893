// Notifications through the desktop's notification service, on a private
// session bus (run under dbus-run-session) with python3-dbusmock's stand-in
// for the service, which logs every call it gets: the Qt notifier on its own,
// and the real program announcing a cue and its recovery.
#include "frontend/qt/dbus_notifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <signal.h>
#include <string>
#include <vector>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

struct NotifyCall {
    std::string app, icon, summary, body, hints;
    unsigned replaces = 0;
    int timeout = 0;
};

// Runs the event loop until `done` holds or `ms` pass; the result is `done()`.
bool spin_until(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return done();
}

// A python3 that has dbusmock (Debian's, which need not be the first on the PATH).
QString python_with_dbusmock() {
    for (const QString& candidate : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(candidate, {"-c", "import dbusmock"});
        if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            return candidate;
    }
    return {};
}

class NotificationTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QProcess mock;
    QString log() const { return dir.path() + "/notify.log"; }

    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus: run this under dbus-run-session";
        if (python_with_dbusmock().isEmpty()) GTEST_SKIP() << "python3-dbusmock is not installed";
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { stop_service(); }

    bool service_up() const {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value();
    }
    void start_service() {
        mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        mock.start(python_with_dbusmock(), {"-m", "dbusmock", "--template", "notification_daemon", "-l", log()});
        ASSERT_TRUE(mock.waitForStarted(5000));
        ASSERT_TRUE(spin_until([this] { return service_up(); }, 15000)) << "the stand-in never took the name";
    }
    void stop_service() {
        if (mock.state() == QProcess::NotRunning) return;
        mock.terminate();
        mock.waitForFinished(5000);
        spin_until([this] { return !service_up(); }, 5000);
    }

    // Every Notify the stand-in was sent, in order.
    std::vector<NotifyCall> calls() const {
        QFile f(log());
        std::vector<NotifyCall> out;
        if (!f.open(QIODevice::ReadOnly)) return out;
        static const QRegularExpression line(
            R"re(^\S+ Notify "(.*)" (\d+) "(.*)" "(.*)" "(.*)" \[(.*)\] \{(.*)\} (-?\d+)$)re");
        for (const QByteArray& raw : f.readAll().split('\n')) {
            const auto m = line.match(QString::fromUtf8(raw));
            if (!m.hasMatch()) continue;
            out.push_back({m.captured(1).toStdString(), m.captured(3).toStdString(), m.captured(4).toStdString(),
                           m.captured(5).toStdString(), m.captured(7).toStdString(), m.captured(2).toUInt(),
                           m.captured(8).toInt()});
        }
        return out;
    }
};

// The stand-in gives ids 1, 2, ... to the calls that replace nothing.
unsigned id_given_to(const std::vector<NotifyCall>& all, std::size_t index) {
    if (all[index].replaces != 0) return all[index].replaces;
    unsigned n = 0;
    for (std::size_t i = 0; i <= index; ++i) n += all[i].replaces == 0;
    return n;
}

TEST_F(NotificationTest, EachKindReplacesItsOwnEvenWhenAskedBeforeTheServiceAnswered) {
    start_service();
    std::vector<std::string> fell_back;
    vqd::qt::DBusNotifier notifier("VQ-DAZ-ER", "VQ-DAZ-ER",
                                   [&](const std::string& s, const std::string&) { fell_back.push_back(s); });
    // Three at once: the second of "no_peers" must wait for the first's id.
    notifier.notify("no_peers", "No peers", "The node reports 0 connections");
    notifier.notify("no_peers", "No peers: recovered after 1 minute", "Peers back: the node has connections");
    notifier.notify("stale_tip", "Stale tip", "No new block for 30 min");
    ASSERT_TRUE(spin_until([this] { return calls().size() >= 3; }, 10000));
    spin_until([] { return false; }, 300);  // nothing more arrives

    const auto all = calls();
    ASSERT_EQ(all.size(), 3u);
    const auto first = std::find_if(all.begin(), all.end(), [](auto& c) { return c.summary == "No peers"; });
    const auto second = std::find_if(all.begin(), all.end(), [](auto& c) { return c.summary.starts_with("No peers:"); });
    const auto other = std::find_if(all.begin(), all.end(), [](auto& c) { return c.summary == "Stale tip"; });
    ASSERT_TRUE(first != all.end() && second != all.end() && other != all.end());
    EXPECT_EQ(first->replaces, 0u);
    EXPECT_EQ(other->replaces, 0u);
    EXPECT_EQ(second->replaces, id_given_to(all, std::size_t(first - all.begin())));
    EXPECT_EQ(first->app, "VQ-DAZ-ER");
    EXPECT_EQ(first->icon, "VQ-DAZ-ER");
    EXPECT_EQ(first->body, "The node reports 0 connections");
    EXPECT_EQ(first->hints, "\"desktop-entry\": \"VQ-DAZ-ER\"");
    EXPECT_EQ(first->timeout, -1);
    EXPECT_TRUE(fell_back.empty());
}

TEST_F(NotificationTest, WhereNoServiceAnswersTheFallbackShowsItAndAServiceThatCameLaterIsUsed) {
    std::vector<std::string> fell_back;
    vqd::qt::DBusNotifier notifier("VQ-DAZ-ER", "VQ-DAZ-ER",
                                   [&](const std::string& s, const std::string&) { fell_back.push_back(s); });
    notifier.notify("no_peers", "No peers", "The node reports 0 connections");
    ASSERT_TRUE(spin_until([&] { return !fell_back.empty(); }, 10000)) << "nothing showed without a service";
    EXPECT_EQ(fell_back, std::vector<std::string>{"No peers"});

    start_service();
    notifier.notify("no_peers", "No peers: recovered after 1 minute", "Peers back: the node has connections");
    ASSERT_TRUE(spin_until([this] { return calls().size() == 1; }, 10000));
    EXPECT_EQ(calls()[0].replaces, 0u);
    EXPECT_EQ(fell_back.size(), 1u);

    // The service goes away: the next one falls back, and the program goes on.
    stop_service();
    notifier.notify("no_peers", "No peers", "The node reports 0 connections");
    ASSERT_TRUE(spin_until([&] { return fell_back.size() == 2; }, 10000));
    EXPECT_EQ(fell_back.back(), "No peers");
}

// The real program, with health cues on, polling a stand-in client that
// reports no connections: the cue is announced once it has held a minute
// (so this waits about two minutes and a half), and its recovery replaces it.
TEST_F(NotificationTest, TheProgramAnnouncesNoPeersAndItsRecoveryReplacesIt) {
    start_service();
    const QString d = dir.path();
    auto write = [](const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    write(d + "/node.conf", "connections=0\n");
    write(d + "/DAZ-ER-GCC.BAT", "call \"" + QByteArray(VQD_TEST_CLI) + "\" -conf=" + (d + "/node.conf").toUtf8() +
                                     " getconnectioncount > " + (d + "/DAZ-ER-GCC.LOG").toUtf8() + "\n");
    QDir().mkpath(d + "/VQ-DAZ-ER");
    {
        QSettings stored(d + "/VQ-DAZ-ER/VQ-DAZ-ER.ini", QSettings::IniFormat);
        stored.setValue("AlwaysOnTopTimer_TICKBOX", "0");
        stored.setValue("AUTOSTART_TICKBOX", "1");
        stored.setValue("CLI_GCC_BAT_TICKBOX", "1");
        stored.setValue("CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", d + "/DAZ-ER-GCC.BAT");
        stored.setValue("CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", d + "/DAZ-ER-GCC.LOG");
        stored.setValue("Extras.HealthCues", "1");
    }

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", d);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(VQD_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted(5000));
    auto from_program = [this] {
        std::vector<NotifyCall> out;
        for (auto& c : calls())
            if (c.summary.starts_with("No peers")) out.push_back(c);
        return out;
    };

    const bool raised = spin_until([&] { return !from_program().empty(); }, 150000);
    write(d + "/node.conf", "connections=3\n");
    const bool recovered = raised && spin_until([&] { return from_program().size() >= 2; }, 150000);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    program.waitForFinished(10000);
    ASSERT_TRUE(raised) << "no notification in 150 s";
    ASSERT_TRUE(recovered) << "no recovery in 150 s";

    const auto all = calls();
    const auto mine = from_program();
    EXPECT_EQ(mine[0].app, "VQ-DAZ-ER");
    EXPECT_EQ(mine[0].summary, "No peers");
    EXPECT_EQ(mine[0].body, "The node reports 0 connections");
    EXPECT_EQ(mine[0].replaces, 0u);
    EXPECT_TRUE(mine[1].summary.starts_with("No peers: recovered after ")) << mine[1].summary;
    EXPECT_EQ(mine[1].body, "Peers back: the node has connections");
    std::size_t first_index = 0;
    while (all[first_index].summary != "No peers") ++first_index;
    EXPECT_EQ(mine[1].replaces, id_given_to(all, first_index));
}

}  // namespace
