// qmx-load-probe <component directory> <progid>: loads a component module the way the host does, creates
// the object by its programmatic name and drives it headless, printing one fact per line; exits 0.
// A failure prints "error <number>: <description>" and exits 3.

#include <iostream>
#include <memory>

#include "platform/services/cinterface.h"
#include "platform/services/component_loader.h"
#include "platform/services/global_services.h"
#include "platform/services/navigator.h"

int main(int argc, char** argv) {
    namespace svc = kv::services;
    if (argc < 3) {
        std::cerr << "usage: qmx-load-probe <component directory> <progid>\n";
        return 2;
    }
    try {
        svc::ComponentLoader loader;
        loader.AddSearchDirectory(argv[1]);
        auto component = std::dynamic_pointer_cast<svc::Cinterface>(loader.CreateObject(argv[2]));
        if (!component) {
            std::cout << "not a component interface\n";
            return 4;
        }
        std::cout << "created\n";
        std::cout << "active-dll-is-self " << (component->ActiveDll() == component) << "\n";

        auto global = std::make_shared<svc::HostGlobalServices>(1, "Provider=SQLite;Data Source=:memory:");
        global->ScriptedErrors()->SetDefaultAnswer(2);  // an empty database: go on past what is missing
        auto navigator = std::make_shared<svc::HostNavigator>();
        component->SetClsGlobal(global);
        component->SetActiveNavigator(navigator);
        component->SetWindowModal(true);
        component->SetCaption("Probe");
        bool loaded_inside_modal = false;
        global->HeadlessPresenter()->SetModalScript(
            [&](svc::PresentableWindow& w) { loaded_inside_modal = w.IsLoaded(); });
        component->ShowForm();
        std::cout << "modal-window-was-up " << loaded_inside_modal << "\n";
        for (const auto& e : navigator->HostScriptModel()->FiredEvents())
            std::cout << "window-event " << e.window << " " << e.flag << "\n";
        std::cout << "close-form " << kv::CBool(component->CloseForm()) << "\n";
        std::cout << "open-windows " << global->HeadlessPresenter()->OpenWindows().size() << "\n";
        component.reset();
        std::cout << "released\n";
    } catch (const kv::Error& e) {
        std::cout << "error " << e.Number() << ": " << e.Description() << "\n";
        return 3;
    }
    return 0;
}
