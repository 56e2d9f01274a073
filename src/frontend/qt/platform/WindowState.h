// What the desktop is asked about how a window is to be shown, beyond what Qt asks for it.
#pragma once

class QWindow;

// Asks the desktop to show the hidden `window` minimised when it is next shown, whatever
// minimised it last. Qt renews that request only when the program itself changes the window's
// state, so after the desktop's own minimise (its button, its task bar) a window shown from
// hiding would come back open. Nothing where the desktop needs no such request.
void AskToShowMinimized(QWindow& window);
