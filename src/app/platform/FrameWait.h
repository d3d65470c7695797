#pragma once

#include <functional>

class QWidget;

// Calls `attempt` at each event of `window` that may come with its frame (the window manager
// frames a window somewhere between mapping it and its first paint) until `attempt` returns
// true, which it does once it could do its work. A waiter replaces an earlier one of the same
// `name` on the same window; an empty `attempt` only ends that earlier one.
void RetryUntilFramed(QWidget &window, const char *name, std::function<bool()> attempt);
