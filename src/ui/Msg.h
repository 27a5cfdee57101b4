// The message window: a small modeless box with the program icon and one
// status text, painted at once when the text changes.
#pragma once

// Shows Text, creating the window on first use ("Cannot create message
// window!" when it cannot be created; the caller goes on).
void ShowMessageWindow(const char* Text);
// Hides the window if it exists.
void HideMessageWindow();
