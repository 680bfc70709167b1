// tovmem: runs the DDR bring-up library on the simulated chip and shows what
// it does: annotated traces, JSON lines and waveforms of a run, the
// configuration tables, a rule check of the power-up commands, and a
// step-by-step comparison of two bring-ups.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/tovmem/commands.h"
#include "tov_version.h"

namespace {

using namespace tovmem;

int usage_exit(std::string msg) {
    for (char& c : msg)
        if (c == '\n') c = ' ';
    std::fflush(stdout);
    std::fprintf(stderr, "tovmem: %s (see 'tovmem --help')\n", msg.c_str());
    return exit_usage;
}

// CLI11's messages, said the way the rest of the tool says things.
std::string parse_message(const CLI::ParseError& e, const CLI::App& app) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        const CLI::App* sub = nullptr;
        for (const CLI::App* s : app.get_subcommands()) sub = s;
        if (!sub) return what;
        // An option the command does not know, else the first stray argument.
        const std::vector<std::string> extra = sub->remaining();
        for (const std::string& a : extra)
            if (a.size() > 1 && a[0] == '-') return "unknown option '" + a + "' for " + sub->get_name();
        return "unexpected argument '" + (extra.empty() ? what : extra.front()) + "' for " + sub->get_name();
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        const std::string opt = what.substr(0, what.find(':'));
        return opt + " needs a value";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&e) && app.get_subcommands().empty())
        return "missing command: run, show, list, check, diff or vcd";
    return what;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("Runs the DDR bring-up library against a simulated chip and shows what it does.", "tovmem");
    app.get_formatter()->label("Usage", "usage");
    app.require_subcommand(1);
    app.fallthrough(false);
    std::vector<Command> commands = {add_run(app), add_show(app), add_list(app),
                                     add_check(app), add_diff(app), add_vcd(app)};
    app.footer("'tovmem <command> --help' describes a command; 'tovmem --version' prints the version.");
    // The version of the library it runs, from the project version.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tovmem %s\n", TOVMEM_VERSION_STRING);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? exit_ok : exit_failed;
    }
    int status = exit_ok;
    if (argc > 1 && argv[1][0] != '-') {
        bool known = false;
        for (const Command& c : commands) known |= c.app->get_name() == argv[1];
        if (!known) return usage_exit(std::string("unknown command '") + argv[1] + "'");
    }
    try {
        app.parse(argc, argv);
        for (const Command& c : commands)
            if (c.app->parsed()) status = c.run();
    } catch (const CLI::CallForHelp& e) {
        status = app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        status = app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usage_exit(parse_message(e, app));
    } catch (const UsageError& e) {
        return usage_exit(e.msg);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tovmem: cannot write the output: %s\n", std::strerror(errno ? errno : EIO));
        return exit_failed;
    }
    return status;
}
