#pragma once

class QWidget;

namespace kv {

// Places a window in the middle of the primary screen: left edge half of (screen width minus
// window width), top edge half of (screen height minus window height). A window larger than
// the screen gets negative coordinates.
void center_form(QWidget& window);

} // namespace kv
