// Loading the component module: the module is loaded in a process of its own (qmx-load-probe), as the
// host loads it; the loader's own failures are checked in this process, where no module gets loaded.

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/services/component_loader.h"

namespace {

struct ProbeResult {
    int exit_code = -1;
    std::string output;
};

ProbeResult RunProbe(const std::string& directory, const std::string& progid) {
    const std::string command = std::string("'") + QMX_LOAD_PROBE + "' '" + directory + "' '" + progid + "' 2>&1";
    ProbeResult r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, pipe)) r.output += buf;
    const int status = ::pclose(pipe);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(ComponentModule, CreatesTheEntryObjectByNameAndRunsItHeadless) {
    for (const char* progid : {"PEXA_QUENDORMIXAL.CLSMG_QUENDORMIXAL", "pexa_quendormixal.clsmg_quendormixal"}) {
        const ProbeResult r = RunProbe(QMX_COMPONENT_DIR, progid);
        EXPECT_EQ(r.exit_code, 0) << r.output;
        // The probe's company database is empty: without a price-list configuration the window closes
        // itself on its first activation, so the modal window is gone by the time it is looked at.
        EXPECT_EQ(r.output,
                  "created\n"
                  "active-dll-is-self 1\n"
                  "modal-window-was-up 0\n"
                  "window-event FRMMG_QUENDORMIXAL 1\n"
                  "window-event FRMMG_QUENDORMIXAL 0\n"
                  "close-form 1\n"
                  "open-windows 0\n"
                  "released\n")
            << progid;
    }
}

TEST(ComponentModule, UnknownNamesAndMissingModulesGiveClearErrors) {
    struct Case {
        const char* progid;
        const char* expected;
    } cases[] = {
        {"PEXA_QUENDORMIXAL.CLSMG_NOTHING", "has no class named 'PEXA_QUENDORMIXAL.CLSMG_NOTHING'"},
        {"PEXA_NOTHING.CLSMG_QUENDORMIXAL", "no module PEXA_NOTHING.so in the component directories"},
        {"PEXA_QUENDORMIXAL", "is not a programmatic name"},
    };
    for (const Case& c : cases) {
        const ProbeResult r = RunProbe(QMX_COMPONENT_DIR, c.progid);
        EXPECT_EQ(r.exit_code, 3) << r.output;
        EXPECT_EQ(r.output.rfind("error 429: Cannot create object: ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    }
}

TEST(ComponentLoader, RefusesWhatIsNotAComponent) {
    kv::services::ComponentLoader loader;
    struct Case {
        std::string path;
        const char* expected;
    } cases[] = {
        {"/nonexistent/PEXA_QUENDORMIXAL.so", "does not exist"},
        {QMX_PLATFORM_LIBRARY, "is not a component"},
    };
    for (const Case& c : cases) {
        try {
            loader.Load(c.path);
            ADD_FAILURE() << c.path;
        } catch (const kv::Error& e) {
            EXPECT_EQ(e.Number(), kv::services::kCannotCreateObject);
            EXPECT_NE(e.Description().find(c.expected), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find(c.path), std::string::npos) << e.Description();
        }
    }
}

}  // namespace
