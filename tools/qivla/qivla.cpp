#include "qivla.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "commands/common.h"
#include "help.h"
#include "platform.h"
#include "plot_file.h"

#ifndef QIVLA_VERSION
#define QIVLA_VERSION "unknown"
#endif

namespace qivla {

namespace {

// ---- command line ------------------------------------------------------------

// Options each command takes; true when the option has a value.
const std::map<std::string, std::map<std::string, bool>>& command_options() {
    static const std::map<std::string, std::map<std::string, bool>> table = {
        {"eig",
         {{"--vectors", true},
          {"--json", false},
          {"--full", false},
          {"--plot", true},
          {"--log", false},
          {"--all", false},
          {"--cond", false},
          {"--check", true},
          {"--out", true},
          {"--jobs", true},
          {"--module", true}}},
        {"solve",
         {{"--json", false},
          {"--full", false},
          {"--all", false},
          {"--out", true},
          {"--module", true}}},
        {"lu",
         {{"--json", false},
          {"--full", false},
          {"--all", false},
          {"--out", true},
          {"--module", true}}},
        {"info", {{"--json", false}, {"--module", true}}},
        {"convert", {{"--array", false}}},
    };
    return table;
}

Args parse(int argc, char** argv) {
    Args args;
    args.command = argv[1];
    const auto table = command_options().find(args.command);
    for (int k = 2; k < argc; ++k) {
        const std::string a = argv[k];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a, value;
            const std::size_t eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
            }
            const auto opt = table->second.find(name);
            if (opt == table->second.end())
                throw UsageError{"'" + args.command + "' has no option " + escaped(name)};
            if (args.options.count(name)) throw UsageError{"option " + name + " given twice"};
            if (opt->second && eq == std::string::npos) {
                if (k + 1 >= argc) throw UsageError{"option " + name + " needs a value"};
                value = argv[++k];
            } else if (!opt->second && eq != std::string::npos) {
                throw UsageError{"option " + name + " takes no value"};
            }
            args.options[name] = value;
        } else {
            args.positional.push_back(a);
        }
    }
    std::size_t lo = 1, hi = 1;
    if (args.command == "solve") hi = 2;
    if (args.command == "eig") hi = static_cast<std::size_t>(-1);
    if (args.command == "info") lo = hi = 0;
    if (args.command == "convert") lo = hi = 2;
    if (args.positional.size() < lo)
        throw UsageError{"'" + args.command + "' needs " +
                         (lo == 2 ? "two file names" : "a file name")};
    if (args.positional.size() > hi)
        throw UsageError{"'" + args.command + "' takes " + std::to_string(hi) + " file name" +
                         (hi == 1 ? "" : "s") + ", not " + std::to_string(args.positional.size())};
    if (std::count(args.positional.begin(), args.positional.end(), "-") > 1)
        throw UsageError{"standard input (-) can be read only once"};
    if (args.has("--vectors")) {
        const std::string v = args.get("--vectors");
        if (v != "none" && v != "right" && v != "left" && v != "both")
            throw UsageError{"--vectors must be none, right, left or both, not '" + escaped(v) +
                             "'"};
        if (args.has("--cond") && v != "both")
            throw UsageError{"--cond needs both kinds of vectors; leave out --vectors"};
    }
    if (args.has("--check")) {
        const std::string v = args.get("--check");
        if (v != "sample" && v != "all" && v != "none")
            throw UsageError{"--check must be sample, all or none, not '" + escaped(v) + "'"};
    }
    if (args.has("--full") && !args.has("--json")) throw UsageError{"--full adds to --json"};
    if (args.has("--log") && !args.has("--plot"))
        throw UsageError{"--log sets the scale of --plot"};
    if (args.has("--plot")) {
        const std::string p = args.get("--plot");
        if (p.empty()) throw UsageError{"--plot needs a file name"};
        if (plot_kind(p) == PlotKind::unknown)
            throw UsageError{"--plot writes SVG (.svg) or PNG (.png), not '" + escaped(p) + "'"};
    }
    if (args.has("--out") && args.get("--out").empty()) throw UsageError{"--out needs a file name"};
    if (args.has("--jobs")) {
        const std::string v = args.get("--jobs");
        char* end = nullptr;
        const long n = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end != '\0' || n < 1 || n > 64)
            throw UsageError{"--jobs takes a number from 1 to 64, not '" + escaped(v) + "'"};
    }
    return args;
}

std::string module_name(const Args& args) {
    if (args.has("--module")) return args.get("--module");
    if (const char* env = std::getenv("QIVLA_MODULE"))
        if (*env) return env;
    return q::Module::default_name();
}

// ---- running one command, and many files ------------------------------------------

// Runs f, turning the errors of a command into a message and a status.
template <class F>
int guarded(F f, std::string* message) {
    try {
        return f();
    } catch (const FileError& e) {
        *message = e.what();
    } catch (const InputError& e) {
        *message = e.message;
    } catch (const q::IllegalArgument& e) {
        // The checks of the host header stop what the module would refuse.
        *message = e.what();
    } catch (const std::bad_alloc&) {
        *message = "out of memory";
    }
    return status_input;
}

std::vector<std::string> batch_files(const Args& args) {
    std::vector<std::string> files;
    for (const std::string& p : args.positional) {
        struct stat st;
        if (p != "-" && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            std::vector<std::string> found;
            if (DIR* d = opendir(p.c_str())) {
                while (dirent* e = readdir(d)) {
                    const std::string name = e->d_name;
                    const std::string full = p + (p.back() == '/' ? "" : "/") + name;
                    struct stat fs;
                    if (name[0] != '.' && kind_from_name(name) != FileKind::unknown &&
                        stat(full.c_str(), &fs) == 0 && S_ISREG(fs.st_mode))
                        found.push_back(full);
                }
                closedir(d);
            }
            if (found.empty())
                throw InputError{escaped(p) +
                                 ": the folder holds no matrix files (.mtx, .rua, .cua, .hb, ...)"};
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else {
            files.push_back(p);
        }
    }
    return files;
}

bool is_batch(const Args& args) {
    if (args.command != "eig") return false;
    if (args.positional.size() > 1) return true;
    struct stat st;
    const std::string& p = args.positional[0];
    return p != "-" && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// eig on many files: --jobs threads take the next file and call the module
// at once (the module is reentrant); reports appear in the order of the
// files, as soon as each and those before it are done, under a progress line
// when standard output is a terminal.
int run_batch(const Args& args, const q::Module& lib) {
    if (args.has("--out") || args.has("--plot"))
        throw UsageError{"--out and --plot take one matrix file, not several"};
    const std::vector<std::string> files = batch_files(args);
    const bool json = args.has("--json");
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    const int jobs = args.has("--jobs") ? std::atoi(args.get("--jobs").c_str())
                                        : static_cast<int>(std::min(hw, 8u));
    const bool terminal = stdout_is_terminal();

    struct Outcome {
        bool done = false;
        int status = 0;
        std::string out, error;
    };
    std::vector<Outcome> outcomes(files.size());
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};
    auto work = [&]() {
        for (;;) {
            const std::size_t k = next++;
            if (k >= files.size()) return;
            std::ostringstream out;
            std::string message;
            const Context ctx{lib, out, false};
            const int status = guarded([&] { return cmd_eig(args, files[k], ctx); }, &message);
            std::lock_guard<std::mutex> lock(mutex);
            Outcome& o = outcomes[k];
            o.status = status;
            o.out = out.str();
            o.error = message;
            o.done = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < std::min<int>(jobs, static_cast<int>(files.size())); ++t)
        threads.emplace_back(work);

    int worst = status_ok, failed = 0;
    std::size_t printed = 0, finished = 0;
    {
        std::unique_lock<std::mutex> lock(mutex);
        auto count_done = [&] {
            std::size_t c = 0;
            for (const Outcome& o : outcomes) c += o.done ? 1 : 0;
            return c;
        };
        while (printed < files.size()) {
            // Files may finish before this waits: the count, not the
            // notification, says whether there is news.
            changed.wait(lock, [&] { return count_done() > finished; });
            finished = count_done();
            if (terminal) std::cout << "\r\x1b[K";
            while (printed < files.size() && outcomes[printed].done) {
                const Outcome& o = outcomes[printed];
                worst = std::max(worst, o.status);
                if (!o.error.empty()) {
                    ++failed;
                    if (json) {
                        JsonWriter j;
                        j.begin_object();
                        j.key("command").value("eig");
                        j.key("file").value(files[printed]);
                        j.key("error").value(o.error);
                        j.key("status").value(o.status);
                        j.end_object();
                        std::cout << j.str() << "\n";
                    }
                    std::cout.flush();
                    std::cerr << "qivla: " << o.error << "\n";
                } else {
                    std::cout << o.out << (json ? "" : "\n");
                }
                ++printed;
            }
            if (terminal && printed < files.size())
                std::cout << "eig: " << finished << " of " << files.size() << " files done"
                          << (failed ? ", " + std::to_string(failed) + " failed" : "") << ", "
                          << jobs << " at a time" << std::flush;
        }
    }
    for (std::thread& t : threads) t.join();
    return worst;
}

int dispatch(const Args& args) {
    if (args.command == "convert") return cmd_convert(args);
    std::unique_ptr<q::Module> lib;
    try {
        lib = std::make_unique<q::Module>(module_name(args));
    } catch (const q::LoadError& e) {
        std::cerr << "qivla: " << e.what() << "\n";
        return status_module;
    }
    if (is_batch(args)) return run_batch(args, *lib);
    // With --out -, the results take standard output and the report moves
    // to standard error.
    const bool out_is_stdout = args.get("--out") == "-";
    const Context ctx{*lib, out_is_stdout ? std::cerr : std::cout,
                      !out_is_stdout && stdout_is_terminal()};
    if (args.command == "eig") return cmd_eig(args, args.positional[0], ctx);
    if (args.command == "solve") return cmd_solve(args, ctx);
    if (args.command == "lu") return cmd_lu(args, ctx);
    return cmd_info(args, ctx);
}

}  // namespace

int run(int argc, char** argv) {
    const std::string first = argc >= 2 ? argv[1] : "";
    if (first == "-h" || first == "--help" || first == "help") {
        std::cout << usage_text;
        return status_ok;
    }
    if (first == "--version") {
        std::cout << "qivla " << QIVLA_VERSION << "\n";
        return status_ok;
    }
    const bool known = command_options().count(first) != 0;
    if (known)
        for (int k = 2; k < argc; ++k)
            if (std::strcmp(argv[k], "--help") == 0 || std::strcmp(argv[k], "-h") == 0) {
                std::cout << command_help(first);
                return status_ok;
            }
    int status = status_input;
    try {
        if (argc < 2) throw UsageError{"no command given"};
        if (!known) throw UsageError{"unknown command '" + escaped(first) + "'"};
        const Args args = parse(argc, argv);
        std::string message;
        status = guarded([&] { return dispatch(args); }, &message);
        if (!message.empty()) {
            std::cout.flush();
            std::cerr << "qivla: " << message << "\n";
        }
    } catch (const UsageError& e) {
        std::cerr << "qivla: " << e.message << "\n"
                  << "Try 'qivla " << (known ? first + " " : std::string()) << "--help'.\n";
        return status_input;
    }
    // Output that could not be written (a full disk, a closed pipe) is an
    // error, with the system's reason.
    errno = 0;
    std::cout.flush();
    int err = errno;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
        if (!err) err = errno ? errno : EIO;
        std::cerr << "qivla: cannot write the output: " << std::strerror(err) << "\n";
        return std::max(status, static_cast<int>(status_input));
    }
    return status;
}

}  // namespace qivla
