// The end-to-end test: the real program under a private Xvfb, driven by real
// clicks and key presses and checked from screenshots.
// Usage: zavio_e2e <path to the zavio binary> [scenario ...]; without names,
// every scenario runs, one after the other.

#include "Scenarios.h"
#include "support/ChildProcess.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Scenario {
    const char* name;
    void (*run)(const std::string& program);
};

constexpr Scenario kScenarios[] = {
    {"main-window", zavio::e2e::mainWindowScenario},     {"broken-picture", zavio::e2e::brokenPictureScenario},
    {"rotation", zavio::e2e::rotationScenario},          {"comments", zavio::e2e::commentsScenario},
    {"modal-windows", zavio::e2e::modalWindowsScenario}, {"no-session-bus", zavio::e2e::sessionBusScenario},
};

int usage(const char* self)
{
    std::fprintf(stderr, "usage: %s <path to zavio> [scenario ...]\nscenarios:", self);
    for (const Scenario& scenario : kScenarios)
        std::fprintf(stderr, " %s", scenario.name);
    std::fprintf(stderr, "\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage(argv[0]);
    std::vector<const Scenario*> chosen;
    for (int i = 2; i < argc; ++i) {
        const Scenario* found = nullptr;
        for (const Scenario& scenario : kScenarios)
            if (std::strcmp(scenario.name, argv[i]) == 0)
                found = &scenario;
        if (!found)
            return usage(argv[0]);
        chosen.push_back(found);
    }
    if (chosen.empty())
        for (const Scenario& scenario : kScenarios)
            chosen.push_back(&scenario);

    // Progress lines keep their place beside a failure on stderr.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The guards send SIGTERM to their children; a broken log pipe must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        const std::string program = zavio::e2e::absoluteProgram(argv[1]);
        for (const Scenario* scenario : chosen) {
            std::printf("--- %s\n", scenario->name);
            scenario->run(program);
        }
        std::printf("e2e: PASS\n");
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "e2e: FAIL: %s\n", error.what());
        return 1;
    }
}
