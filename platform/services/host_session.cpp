#include "platform/services/host_session.h"

#include "platform/services/dispatch.h"

namespace kv::services {

HostSession::HostSession(int32_t company, const std::string& connection_string)
    : global(std::make_shared<HostGlobalServices>(company, connection_string)),
      navigator(std::make_shared<HostNavigator>()),
      frame(std::make_shared<HostFrame>(kv::Variant(int16_t{0}))),
      menu_entry(std::make_shared<HostMenuEntry>()),
      status_bar(std::make_shared<HostStatusBar>(3)) {}

bool FillInterface(const std::shared_ptr<kv::Object>& object, Cinterface& component, const HostSession& session,
                   const ComponentOpening& opening) {
    component.SetClsGlobal(session.global);
    component.SetActiveNavigator(session.navigator);
    component.SetActiveFrame(session.frame);
    component.SetClsVoceMenu(session.menu_entry);
    component.SetStatusBar(session.status_bar);
    component.SetCanInsert(true);
    component.SetCanDelete(true);
    component.SetCanUpdate(true);
    component.SetIsActive(true);
    component.SetWindowModal(opening.modal);
    component.SetWindowState(opening.window_state);
    component.SetCaption(kv::Variant(opening.caption));
    if (opening.article.empty()) return true;
    auto own = std::dynamic_pointer_cast<Dispatch>(object);
    if (!own) return false;
    own->PropertyLet("CodiceArticolo", kv::Variant(opening.article));
    component.SetIsCalled(true);
    return true;
}

}  // namespace kv::services
