// The Windows counterpart of stall.cpp: the longest time the program's UI
// thread goes without pumping its messages while the real program (Win32
// services and front end) runs one block-count poll, from the click on
// "G-B-C" until the poll has shown its answer. Another thread sends the UI
// thread a message every millisecond and times the answer; the program's
// wait answers sent messages, a sleeping wait does not. The sleeping program
// also starts the batch file's process on its UI thread and blocks there.
//
//   vqd-win-stall.exe qt|sleeping      ("qt" names the program's own wait, as on Linux)
//
// Prints "name: value unit" lines; passes or fails nothing.
#include "frontend/win32/dpi.h"
#include "frontend/win32/fonts.h"
#include "frontend/win32/scheduler_driver.h"
#include "frontend/win32/window_view.h"
#include "platform/win32/win32_platform.h"
#include "windows/main_window.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

class SleepingClock final : public vqd::Clock {
public:
    std::int64_t now_ms() const override { return static_cast<std::int64_t>(GetTickCount64()); }
    void wait_ms(int ms) override { Sleep(static_cast<DWORD>(ms)); }
};

double now_ms() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

std::atomic<bool> measuring{false}, answered{false};

}  // namespace

int main(int argc, char** argv) {
    const bool sleeping = argc > 1 && std::strcmp(argv[1], "sleeping") == 0;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    vqd::Win32Platform platform;
    SleepingClock sleeping_clock;
    vqd::Clock& clock = sleeping ? static_cast<vqd::Clock&>(sleeping_clock) : platform.clock;
    vqd::Scheduler scheduler(clock);
    vqd::Win32CommandRunner blocking_runner;
    vqd::Services services = platform.services();
    vqd::MainWindow main_window(scheduler, sleeping ? vqd::Services{services.store, services.executable,
                                                                    blocking_runner, services.processes,
                                                                    services.files, services.topmost,
                                                                    services.errors, services.conventions}
                                                    : services);
    main_window.start();
    vqd::win32ui::SchedulerDriver driver(scheduler);
    vqd::win32ui::FontCache fonts;
    vqd::win32ui::WindowView view(main_window, nullptr, driver, fonts);
    view.on_closed = [] { PostQuitMessage(0); };
    view.show();
    driver.drive();
    const HWND window = view.hwnd();
    const std::string before = main_window["CURRENT_BLOCK_TEXTBOX"].text();

    std::thread sender([&] {
        Sleep(1500);  // the window is up and the first ticks have run
        measuring = true;
        PostMessageW(window, WM_NULL, 0, 0);
        const double t0 = now_ms();
        double longest = 0;
        while (!answered && now_ms() - t0 < 20000) {
            const double s = now_ms();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
            longest = std::max(longest, now_ms() - s);
            Sleep(1);
        }
        const char* mode = sleeping ? "sleeping" : "qt";
        std::printf("win32_stall_during_poll_%s_wait: %.0f ms\n", mode, longest);
        std::printf("win32_stall_poll_%s_wait_duration: %.0f ms\n", mode, now_ms() - t0);
        std::fflush(stdout);
        ExitProcess(answered ? 0 : 1);
    });
    // The click goes in through the UI thread, as a user's would.
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {});
    bool clicked = false;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (measuring && !clicked) {
            clicked = true;
            main_window.post_click(main_window["GETBLOCKCOUNT_BUTTON"]);
        }
        if (clicked && !scheduler.busy() && main_window["CURRENT_BLOCK_TEXTBOX"].text() != before) answered = true;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    sender.join();
    return 0;
}
