// SPDX-License-Identifier: Apache-2.0
// tovmem's command line: the commands added to one application, the
// arguments parsed, the chosen command run (a kernel image's run in a child
// process), and every refusal said in one line.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifndef TOV_NO_IMAGE_RUNNER
#include "sim/image/contain.h"
#endif
#include "sim/printable.h"
#include "tools/tovmem/commands.h"
#include "tools/tovmem/tool.h"
#include "tov_version.h"

namespace {

using namespace tovmem;

// One printable line: a message may quote a file's bytes. A block (a list
// to choose from) keeps its lines.
int usage_exit(std::string msg, bool block = false) {
    if (block) {
        std::fflush(stdout);
        std::fprintf(stderr, "tovmem: %s\n", msg.c_str());
        return exit_usage;
    }
    for (char& c : msg)
        if (c == '\n') c = ' ';
    std::fflush(stdout);
    std::fprintf(stderr, "tovmem: %s (see 'tovmem --help')\n", tov::sim::printable(msg).c_str());
    return exit_usage;
}

bool is_option(const std::string& a) { return a.size() > 1 && a[0] == '-' && a != "-"; }

// CLI11's messages, said the way the rest of the tool says things. An
// unknown option comes first, whatever else is wrong: it is usually the
// cause (a misspelt --config is also a missing --config).
std::string parse_message(const CLI::ParseError& e, const CLI::App& app) {
    const std::string what = e.what();
    const CLI::App* sub = nullptr;
    for (const CLI::App* s : app.get_subcommands()) sub = s;
    for (const std::string& a : app.remaining(false))
        if (is_option(a)) return "unknown option '" + a + "'" + (sub ? " before the command " + sub->get_name() : "");
    if (sub)
        for (const std::string& a : sub->remaining())
            if (is_option(a)) return "unknown option '" + a + "' for " + sub->get_name();
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        const std::vector<std::string> extra = sub ? sub->remaining() : app.remaining(false);
        const std::string where = sub ? " for " + sub->get_name() : "";
        return "unexpected argument '" + (extra.empty() ? what : extra.front()) + "'" + where;
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        const std::string opt = what.substr(0, what.find(':'));
        if (what.find("At Most") != std::string::npos) return opt + " is given more than once";
        return opt + " needs a value";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&e) && app.get_subcommands().empty())
        return "missing command: run, show, list, check, diff, vcd, import or report";
    return what;
}

// An empty value ("--config ''") is a mistake in a script, never a request
// for the default: refuse it for every option and argument.
void refuse_empty_values(const CLI::App& cmd) {
    for (const CLI::Option* o : cmd.get_options()) {
        if (!o->count() || o->get_expected_max() == 0) continue;  // not given, or a flag
        for (const std::string& v : o->results())
            if (v.empty()) usage_fail(o->get_name() + " needs a value, not an empty string");
    }
}

}  // namespace

int tovmem::tool_main(int argc, char** argv) {
    CLI::App app("Runs the DDR bring-up library against a simulated chip and shows what it does.", "tovmem");
    app.get_formatter()->label("Usage", "usage");
    app.require_subcommand(1);
    app.fallthrough(false);
    std::vector<Command> commands = {add_run(app),  add_show(app), add_list(app),   add_check(app),
                                     add_diff(app), add_vcd(app),  add_import(app), add_report(app)};
    app.footer("'tovmem <command> --help' describes a command; 'tovmem --version' prints the version.");
    // The version of the library it runs, from the project version.
    if (argc > 2 && std::strcmp(argv[1], "--version") == 0)
        return usage_exit(std::string("--version takes nothing after it, not '") + argv[2] + "'");
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tovmem %s\n", TOVMEM_VERSION_STRING);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? exit_ok : exit_failed;
    }
    int status = exit_ok;
    auto known = [&](const std::string& name) {
        for (const Command& c : commands)
            if (c.app->get_name() == name) return true;
        return false;
    };
    // `tovmem help [COMMAND]` is `tovmem [COMMAND] --help`.
    std::vector<std::string> args(argv, argv + argc);
    if (args.size() > 1 && args[1] == "help") {
        if (args.size() > 3) return usage_exit("help takes at most one command, not '" + args[3] + "'");
        if (args.size() == 3 && !known(args[2])) return usage_exit("unknown command '" + args[2] + "'");
        args.erase(args.begin() + 1);
        args.push_back("--help");
    }
    if (args.size() > 1 && args[1][0] != '-' && !known(args[1])) return usage_exit("unknown command '" + args[1] + "'");
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);  // CLI11 takes them last first
        app.parse(reversed);
        for (const Command& c : commands)
            if (c.app->parsed()) {
                refuse_empty_values(*c.app);
                // A run of a kernel image goes on in a child process, so
                // that the CPU emulator aborting on a hostile image (its
                // code generator can) ends in one line, not in the tool's
                // own death. The parsed option decides, however spelt.
                const CLI::Option* image = c.app->get_option_no_throw("--image");
#ifdef TOV_NO_IMAGE_RUNNER
                // No emulator here, and no process containment for one.
                const CLI::Option* caller = c.app->get_option_no_throw("--caller");
                if ((image && image->count()) || (caller && caller->count()))
                    return usage_exit(
                        "--image and --caller run a kernel image in an emulator, which this Windows build does not "
                        "have: use the Linux build of tovmem for them");
#endif
                if (!image || image->count() == 0) {
                    status = c.run();
                    continue;
                }
#ifndef TOV_NO_IMAGE_RUNNER
                const tov::sim::image::Contained k = tov::sim::image::contained([&] {
                    try {
                        const int s = c.run();
                        return std::fflush(stdout) != 0 ? exit_failed : s;
                    } catch (const UsageError& e) {
                        return usage_exit(e.msg, e.block);
                    }
                });
                // A closed output pipe ends the tool as it ends any command.
                if (k.pipe_closed) {
                    std::raise(SIGPIPE);
                    return exit_failed;
                }
                if (!k.finished) return usage_exit("the kernel image could not be run: " + k.why);
                std::fputs(k.stderr_text.c_str(), stderr);
                status = k.status;
#endif
            }
    } catch (const CLI::CallForHelp& e) {
        status = app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        status = app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usage_exit(parse_message(e, app));
    } catch (const UsageError& e) {
        return usage_exit(e.msg, e.block);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tovmem: cannot write the output: %s\n", std::strerror(errno ? errno : EIO));
        return exit_failed;
    }
    return status;
}
