// Figures of the Linux services on this machine, printed. Not a test: nothing
// here passes or fails.
#include "platform/posix/posix_command_runner.h"
#include "platform/posix/posix_process_counter.h"
#include "platform/posix/posix_settings_store.h"
#include "platform/posix/posix_text_files.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace {

double average_ms(int runs, const std::function<void()>& once) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) once();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / runs;
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vqd-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "work");
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);

    vqd::PosixTextFiles files;
    vqd::PosixCommandRunner runner;
    vqd::PosixProcessCounter counter;
    vqd::PosixSettingsStore store;

    const std::string conf = (dir / "work/node.conf").string();
    files.write_line(conf, "blocks=123456");
    const std::string log = (dir / "work/DAZ-ER-GBC.LOG").string();
    const std::string bat = (dir / "work/DAZ-ER-GBC.BAT").string();
    files.write_line(bat, std::string("call \"") + VQD_TEST_CLI + "\" -conf=" + conf + " getblockcount > " + log);

    std::printf("run a batch file (returns once started): %.3f ms\n",
                average_ms(20, [&] { runner.run(bat, vqd::WindowStyle::Hidden); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const double answer = average_ms(10, [&] {
        fs::remove(log);
        runner.run(bat, vqd::WindowStyle::Hidden);
        while (!fs::exists(log) || fs::file_size(log) == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    });
    std::printf("batch file started -> test client's answer in the log: %.3f ms\n", answer);
    std::printf("count processes by image name (%zu entries in /proc): %.3f ms\n",
                static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc"), fs::directory_iterator{})),
                average_ms(50, [&] { counter.count("vqd-test-cli"); }));
    std::printf("read a log whole: %.4f ms\n", average_ms(200, [&] { files.read_whole(log); }));
    std::printf("write a one-line file: %.4f ms\n", average_ms(200, [&] { files.write_line(log + ".ext", "1"); }));
    int i = 0;
    std::printf("save one setting (lock, rewrite, atomic replace): %.3f ms\n",
                average_ms(100, [&] { store.save("VQ-DAZ-ER", "bench", "MainLeft", std::to_string(i++)); }));
    std::printf("save eighteen settings in one write (a Save To Registry): %.3f ms\n", average_ms(50, [&] {
                    vqd::SettingsStore::Values values;
                    for (int k = 0; k < 18; ++k) values.emplace_back("KEY_" + std::to_string(k), std::to_string(i++));
                    store.save_all("VQ-DAZ-ER", "bench", values);
                }));
    std::printf("get one setting: %.3f ms\n",
                average_ms(100, [&] { store.get("VQ-DAZ-ER", "bench", "MainLeft", "1000"); }));

    fs::remove_all(dir);
    return 0;
}
