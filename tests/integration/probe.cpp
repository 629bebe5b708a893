// Run by the integration tests as a separate process.
//   vqd-posix-probe name                          the configuration name it runs under
//   vqd-posix-probe get SECTION KEY               a stored text, "<absent>" when absent
//   vqd-posix-probe notes SECTION                 the store's notes on hand-edited lines, one a line
//   vqd-posix-probe save SECTION GO ROUNDS KEY... wait for the file GO, then save every
//                                                 KEY ROUNDS times, value "KEY-<round>"
//   vqd-posix-probe save-all SECTION GO ROUNDS KEY...  the same, every KEY of a round in one write
#include "platform/failure.h"
#include "platform/posix/posix_executable_name.h"
#include "platform/posix/posix_settings_store.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    vqd::PosixSettingsStore store;
    try {
        if (command == "name") {
            std::cout << vqd::PosixExecutableName(argv[0]).name() << "\n";
            return 0;
        }
        if (command == "get" && argc == 4) {
            std::cout << store.get("VQ-DAZ-ER", argv[2], argv[3], "<absent>") << "\n";
            return 0;
        }
        if (command == "notes" && argc == 3) {
            for (const auto& note : store.read_notes("VQ-DAZ-ER", argv[2])) std::cout << note << "\n";
            return 0;
        }
        if (command == "save-all" && argc >= 6) {
            while (!std::filesystem::exists(argv[3])) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const int rounds = std::stoi(argv[4]);
            for (int round = 0; round < rounds; ++round) {
                vqd::SettingsStore::Values values;
                for (int k = 5; k < argc; ++k) values.emplace_back(argv[k], std::string(argv[k]) + "-" + std::to_string(round));
                store.save_all("VQ-DAZ-ER", argv[2], values);
            }
            return 0;
        }
        if (command == "save" && argc >= 6) {
            while (!std::filesystem::exists(argv[3])) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const int rounds = std::stoi(argv[4]);
            for (int round = 0; round < rounds; ++round)
                for (int k = 5; k < argc; ++k)
                    store.save("VQ-DAZ-ER", argv[2], argv[k], std::string(argv[k]) + "-" + std::to_string(round));
            return 0;
        }
    } catch (const vqd::PlatformError& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    std::cerr << "usage: vqd-posix-probe name | get SECTION KEY | notes SECTION | save[-all] SECTION GO ROUNDS KEY...\n";
    return 1;
}
