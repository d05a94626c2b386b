#pragma once

class QLineEdit;

// Input-method modes of single-line text boxes. On Windows the mode is set
// through the IME each time the box takes the focus; elsewhere Qt offers no
// such control, so the input method is merely enabled or disabled.
namespace InputMethod {

// Japanese input on, in hiragana mode, while the box has the focus.
void preferHiragana(QLineEdit *edit);

// Input method off while the box has the focus.
void turnOff(QLineEdit *edit);

} // namespace InputMethod
