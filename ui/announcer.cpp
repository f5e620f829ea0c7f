#include "ui/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace quillet {

namespace {

// A widget whose only part is its accessible name, which Orca reads as a
// notification whenever the widget appears.
class Notice : public QWidget {
    Q_OBJECT

public:
    explicit Notice(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(0, 0, 1, 1);
    }
};

QAccessibleInterface* noticeInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("quillet::Notice") && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Notification);
    }
    return nullptr;
}

}  // namespace

Announcer::Announcer(QWidget* window) : QObject(window), m_notice(new Notice(window)) {
    static const bool installed = [] {
        QAccessible::installFactory(noticeInterface);
        return true;
    }();
    (void)installed;
    m_notice->hide();
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMilliseconds);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        const QString position = m_pendingPosition;
        m_pendingPosition.clear();
        say(position);
    });
}

Announcer::~Announcer() = default;

void Announcer::say(const QString& message) {
    dropPending();
    if (message.isEmpty()) return;
    m_notice->hide();
    m_notice->setAccessibleName(message);
    m_notice->show();
}

void Announcer::sayPosition(const QString& position) {
    m_pendingPosition = position;
    m_settle.start();
}

void Announcer::dropPending() {
    m_settle.stop();
    m_pendingPosition.clear();
}

}  // namespace quillet

#include "announcer.moc"
