// vqd-test-cli: answers like the node's command-line client, from a small conf
// file instead of a node.
//
//   vqd-test-cli -conf=PATH [-daemon...] [other options] COMMAND
//
// COMMAND is getblockcount, getconnectioncount, stop or start. The conf file
// holds key=value lines ('#' starts a comment):
//   blocks=N          the block count (100)
//   grow=1            each getblockcount answers one more than the last
//   connections=N     the connection count (8)
//   delay_ms=N        wait this long before answering, as a busy node would
//   mode=normal       the number and a line end on standard output
//   mode=error_text   an error text on standard output instead of the number
//   mode=silent       nothing at all
//   mode=huge         more than 32 KB on standard output
//   stopped=1         the node is down until a `start`
// State lives beside the conf file: PATH.state (stopped, blocks served) and
// PATH.calls (one line per call, for tests to count).
//
// A stopped node answers every command but `start` the way a real client does
// when nobody listens: a message on standard error, nothing on standard
// output, exit status 1.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <system_error>
#include <thread>

namespace {

using Values = std::map<std::string, std::string>;

Values read_values(const std::filesystem::path& file) {
    Values values;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

long long number(const Values& values, const std::string& key, long long fallback) {
    const auto it = values.find(key);
    if (it == values.end()) return fallback;
    try {
        return std::stoll(it->second);
    } catch (const std::exception&) {
        return fallback;
    }
}

std::string text(const Values& values, const std::string& key, const std::string& fallback) {
    const auto it = values.find(key);
    return it == values.end() ? fallback : it->second;
}

// Written whole and renamed into place, so a client running at the same moment
// reads either the old state or the new one.
bool write_values(const std::filesystem::path& file, const Values& values) {
    const std::filesystem::path temp = file.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const auto& [key, value] : values) out << key << '=' << value << '\n';
        if (!out.flush()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    return !ec;
}

int not_connected() {
    std::cerr << "error: Could not connect to the server 127.0.0.1:19553\n\n"
                 "Make sure the test node is running (vqd-test-cli -conf=... start).\n";
    return 1;
}

int usage(const std::string& problem) {
    std::cerr << "error: " << problem << "\n"
              << "usage: vqd-test-cli -conf=PATH [-daemon...] getblockcount|getconnectioncount|stop|start\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string conf, command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("-conf=", 0) == 0)
            conf = arg.substr(6);
        else if (!arg.empty() && arg[0] == '-')
            continue;  // -daemon, -daemon=0/1 and the rest mean nothing to a stand-in
        else if (command.empty())
            command = arg;
    }
    if (conf.empty()) return usage("no -conf=PATH given");
    if (command.empty()) return usage("no command given");
    if (!std::filesystem::is_regular_file(conf)) {
        std::cerr << "Error reading configuration file: specified data directory or file \"" << conf
                  << "\" does not exist.\n";
        return 1;
    }

    const Values settings = read_values(conf);
    const std::filesystem::path state_file = conf + ".state";
    Values state = read_values(state_file);
    if (!state.count("stopped")) state["stopped"] = text(settings, "stopped", "0");
    {
        std::ofstream calls(conf + ".calls", std::ios::app);
        calls << command << '\n';
    }

    const long long delay = number(settings, "delay_ms", 0);
    if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));

    const bool stopped = state["stopped"] == "1";
    if (command == "start") {
        state["stopped"] = "0";
        write_values(state_file, state);
        std::cout << "test node started\n";
        return 0;
    }
    if (stopped) return not_connected();
    if (command == "stop") {
        state["stopped"] = "1";
        if (!write_values(state_file, state)) {
            std::cerr << "error: cannot record the stop in " << state_file.string() << "\n";
            return 1;
        }
        std::cout << "test node stopping\n";
        return 0;
    }
    if (command != "getblockcount" && command != "getconnectioncount") {
        std::cerr << "error code: -32601\nerror message:\nMethod not found\n";
        return 1;
    }

    const std::string mode = text(settings, "mode", "normal");
    if (mode == "silent") return 0;
    if (mode == "error_text") {
        std::cout << "error: the test node is still loading its block index\n";
        return 1;
    }
    if (mode == "huge") {
        const std::string line(79, '#');
        for (int i = 0; i < 500; ++i) std::cout << line << '\n';  // 40,000 bytes
        return 0;
    }

    long long answer = number(settings, "connections", 8);
    if (command == "getblockcount") {
        answer = number(settings, "blocks", 100);
        if (number(settings, "grow", 0) == 1) {
            const long long served = number(state, "served", 0);
            answer += served;
            state["served"] = std::to_string(served + 1);
            write_values(state_file, state);
        }
    }
    std::cout << answer << '\n';
    return 0;
}
