#pragma once
// The peer's window for a person (SkypePeer.exe /window): the contacts with their online statuses, a
// contact calling in, the far end answering and hanging up the current call, and the commands received.
// Tests find it by its title and press its buttons by their ids.
#include <windows.h>

#include <string>

namespace peer {

constexpr const char* PeerWindowTitle = "Skype Peer";

enum PeerWindowId : int {
    IDC_PEER_CONTACTS = 101, // list box: "handle<TAB>status", one contact a line
    IDC_PEER_STATUS,         // drop-down list of online statuses
    IDC_PEER_SET_STATUS,     // gives the chosen contact the chosen status
    IDC_PEER_CALL_IN,        // the chosen contact calls in
    IDC_PEER_CALL,           // text: the current call
    IDC_PEER_ANSWER,         // the far end answers the current call
    IDC_PEER_HANG_UP,        // the far end hangs up the current call
    IDC_PEER_COMMANDS,       // list box: "seconds  command", one received command a line
    IDC_PEER_CLIENT,         // text: whether a client has discovered the peer
};

// Creates the window and shows it; answers whether it exists.
bool OpenPeerWindow();
void ClosePeerWindow();
// A command the client sent (refused or taken), listed with the time it came.
void ListPeerCommand(const std::string& text);
// Shows the contacts, their statuses, the current call and the client as they are now.
void RefreshPeerWindow();

} // namespace peer
