// The Skype API link: discovery, attach, the paced command queue and the link state display.
#include "app/MainDialog.h"

HWND skypeWindow = nullptr;

bool MainDialog::DiscoverSkype() { return false; }
void MainDialog::OnAttachReply(HWND, LPARAM) {}
void MainDialog::QueueSkypeCommand(const std::string&) {}
void MainDialog::SendNextSkypeCommand() {}
void MainDialog::SetSkypeConnected(bool) {}
void MainDialog::SetCallActive(bool) {}
void MainDialog::ShowOnHandset(const std::string&) {}
