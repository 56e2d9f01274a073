// The desktop's notification area as a StatusNotifierItem host (KDE, GNOME's extension, most
// panels today) sees the program, where an XEmbed tray sees only a window.
#pragma once

class QString;

// Gives the application the name hosts and notifications show (the toolkit takes the item's
// title and the notifications' sender from the application's name) and the desktop entry they
// find its icon and launcher by.
void NameApplicationForDesktop();

// Whether the tray icon is a StatusNotifierItem: its host then sends Activate for the item's
// open gesture (a left click), where an XEmbed tray reports the mouse's own buttons. Asked the
// way the toolkit asks when it makes the icon.
bool TrayIconIsStatusNotifierItem();

// A notification from the desktop's notification server, with the program's name, icon and
// desktop entry; the toolkit's own would name no entry.
void NotifyDesktop(const QString& summary, const QString& body);
