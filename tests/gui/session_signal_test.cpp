// The real program, on Qt's offscreen platform, ended by a real signal: it
// closes its main window the way a user's close does (position and options
// saved) and exits normally. A signal it was started with ignored (nohup)
// does not end it. A settings file a person edited by hand keeps every key
// through a whole run, and the line at fault is named. Under a German locale
// the metrics file it writes after a real poll is still one Prometheus reads.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <signal.h>

namespace {

class SessionSignalTest : public ::testing::Test {
protected:
    QTemporaryDir config;
    QString ini() const { return config.path() + "/VQ-DAZ-ER/VQ-DAZ-ER.ini"; }

    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        QDir().mkpath(config.path() + "/VQ-DAZ-ER");
        QSettings stored(ini(), QSettings::IniFormat);
        stored.setValue("CLI_GBC_BAT_TICKBOX", "1");
        stored.setValue("AlwaysOnTopTimer_TICKBOX", "0");
    }
    void start(QProcess& program, bool ignore_hangup, const QString& lang = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        if (!lang.isEmpty()) {
            env.remove("LC_ALL");
            env.remove("LC_NUMERIC");
            env.insert("LANG", lang);
        }
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (ignore_hangup) program.setChildProcessModifier([] { ::signal(SIGHUP, SIG_IGN); });
        program.start(VQD_PROGRAM, {});
        ASSERT_TRUE(program.waitForStarted(5000));
        QThread::msleep(1500);  // up, shown, its timers ticking
        ASSERT_EQ(program.state(), QProcess::Running);
    }
    std::string stored(const char* key) const {
        return QSettings(ini(), QSettings::IniFormat).value(key).toString().toStdString();
    }
};

TEST_F(SessionSignalTest, TermIntAndHupCloseTheWindowTheNormalWayAndTheProgramExits) {
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        QSettings(ini(), QSettings::IniFormat).remove("MainLeft");
        QProcess program;
        start(program, false);
        EXPECT_EQ(stored("MainLeft"), "") << "something saved the position before the close";
        ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signal_number), 0);
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_EQ(stored("MainLeft"), "1000");
        EXPECT_EQ(stored("MainTop"), "1000");
        EXPECT_EQ(stored("CLI_GBC_BAT_TICKBOX"), "1");
        EXPECT_EQ(stored("AUTOSTART_TICKBOX"), "0");
    }
}

QByteArray read_all(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(SessionSignalTest, AHandEditedSettingsFileKeepsEveryKeyAndTheLineAtFaultIsNamed) {
    struct Case {
        const char* edited_line;
        bool saves;  // a value run past its line is read up to it; a line that is no INI at all stops every save
    };
    for (const Case& c : {Case{"RUN_COMMAND_TEXTBOX=notify-send \"new block", true},
                          Case{"this line is no setting", false}}) {
        SCOPED_TRACE(c.edited_line);
        const QByteArray text = QByteArray("[General]\n") + c.edited_line +
                                "\nCLI_NAME_TEXTBOX=litecoin-cli\nCLI_GBC_BAT_TICKBOX=1\nAlwaysOnTopTimer_TICKBOX=0\n";
        {
            QFile f(ini());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        }
        const QString log = config.path() + "/VQ-DAZ-ER/VQ-DAZ-ER-errors.log";
        QFile::remove(log);
        QProcess program;
        start(program, false);
        ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitCode(), 0);

        EXPECT_TRUE(read_all(log).contains("line 2")) << read_all(log).toStdString();
        const QByteArray after = read_all(ini());
        if (!c.saves) {
            EXPECT_EQ(after, text);
            continue;
        }
        // Every line the person wrote is still there as written, the option
        // below the edited line was read (and so saved as it was), and the
        // position the close saved starts a line of its own.
        EXPECT_TRUE(after.startsWith(text.left(text.indexOf("AlwaysOnTop")))) << after.toStdString();
        EXPECT_TRUE(after.contains("\nAlwaysOnTopTimer_TICKBOX=0\n")) << after.toStdString();
        EXPECT_TRUE(after.contains("\nMainLeft=1000\n")) << after.toStdString();
    }
}

TEST_F(SessionSignalTest, UnderAGermanLocaleTheMetricsFileAfterARealPollPassesPromtool) {
    // An automatic run: the countdown, then one block-count poll of the
    // stand-in client, whose age the metrics file then gives in seconds.
    const QString dir = config.path();
    {
        QFile conf(dir + "/node.conf"), bat(dir + "/DAZ-ER-GBC.BAT");
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly) && bat.open(QIODevice::WriteOnly));
        conf.write("blocks=2750000\n");
        bat.write(("call \"" + QByteArray(VQD_TEST_CLI) + "\" -conf=" + (dir + "/node.conf").toUtf8() +
                   " getblockcount > " + (dir + "/DAZ-ER-GBC.LOG").toUtf8() + "\n"));
    }
    QSettings stored(ini(), QSettings::IniFormat);
    stored.setValue("AUTOSTART_TICKBOX", "1");
    stored.setValue("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", dir + "/DAZ-ER-GBC.BAT");
    stored.setValue("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", dir + "/DAZ-ER-GBC.LOG");
    stored.setValue("Extras.MetricsFile", "1");
    stored.setValue("Extras.MetricsPath", dir + "/node.prom");
    stored.sync();

    QProcess program;
    start(program, false, "de_DE.UTF-8");
    const QString metrics = dir + "/node.prom";
    for (int waited = 0; waited < 30000 && !read_all(metrics).contains("vqdazer_blocks_age_seconds{"); waited += 250)
        QThread::msleep(250);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000));
    const QByteArray text = read_all(metrics);
    ASSERT_TRUE(text.contains("vqdazer_blocks{section=\"VQ-DAZ-ER\"} 2750000\n")) << text.toStdString();
    int status = std::system(("promtool check metrics < '" + metrics.toStdString() + "' >/dev/null 2>&1").c_str());
    EXPECT_EQ(status, 0) << text.toStdString();
}

TEST_F(SessionSignalTest, AHangupIgnoredAtStartStaysIgnored) {
    QProcess program;
    start(program, true);
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGHUP), 0);
    EXPECT_FALSE(program.waitForFinished(1500)) << "nohup did not keep the program running";
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
