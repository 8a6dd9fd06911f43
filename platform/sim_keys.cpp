#include "platform/sim_keys.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace platform {

int simKeypadCode(int key)
{
    switch (key) {
    case Qt::Key_Left:
        return Qt::Key_F4;
    case Qt::Key_Right:
        return Qt::Key_F5;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Qt::Key_F6;
    case Qt::Key_Escape:
        return Qt::Key_PowerOff;
    case Qt::Key_Home:
        return Qt::Key_Stop;
    default:
        return 0;
    }
}

namespace {

// Replaces a mapped key press or release by the keypad's, sent to the same
// receiver, which then passes it on as usual.
class SimKeyMap : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const int code = simKeypadCode(key->key());
        if (code == 0)
            return false;
        QKeyEvent mapped(key->type(), code, key->modifiers(), QString(), key->isAutoRepeat(), ushort(key->count()));
        QCoreApplication::sendEvent(watched, &mapped);
        return true;
    }
};

} // namespace

QObject* installSimKeyMap(QCoreApplication* app)
{
    auto* map = new SimKeyMap(app);
    app->installEventFilter(map);
    return map;
}

} // namespace platform
