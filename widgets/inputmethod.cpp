#include "inputmethod.h"

#include <QLineEdit>

#ifdef Q_OS_WIN
#include <QEvent>
#include <QObject>
#include <qt_windows.h>
#include <imm.h>

namespace {
// Applies the mode whenever the box gains the focus, as the IME forgets it.
class ImeModeSetter final : public QObject
{
public:
    ImeModeSetter(QLineEdit *edit, bool hiragana) : QObject(edit), m_hiragana(hiragana)
    {
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            const HWND window = reinterpret_cast<HWND>(static_cast<QWidget *>(watched)->window()->winId());
            if (HIMC context = ImmGetContext(window)) {
                ImmSetOpenStatus(context, m_hiragana ? TRUE : FALSE);
                if (m_hiragana)
                    ImmSetConversionStatus(context, IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE, IME_SMODE_NONE);
                ImmReleaseContext(window, context);
            }
        }
        return false;
    }

private:
    bool m_hiragana;
};
} // namespace
#endif

namespace InputMethod {

void preferHiragana(QLineEdit *edit)
{
    edit->setAttribute(Qt::WA_InputMethodEnabled, true);
#ifdef Q_OS_WIN
    new ImeModeSetter(edit, true);
#endif
}

void turnOff(QLineEdit *edit)
{
#ifdef Q_OS_WIN
    new ImeModeSetter(edit, false);
#else
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
#endif
}

} // namespace InputMethod
