#include "ui/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace quillet {

namespace {

// The notification is known to the accessibility factory by this name.
const QLatin1String NoticeName("quillet-notice");

// A widget whose only part is its accessible name, which Orca reads as a
// notification whenever the widget appears.
QWidget* makeNotice(QWidget* parent) {
    auto* notice = new QWidget(parent);
    notice->setObjectName(NoticeName);
    notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    notice->setFocusPolicy(Qt::NoFocus);
    notice->setGeometry(0, 0, 1, 1);
    return notice;
}

QAccessibleInterface* noticeInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("QWidget") && object->objectName() == NoticeName) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Notification);
    }
    return nullptr;
}

}  // namespace

Announcer::Announcer(QWidget* window) : QObject(window) {
    static const bool installed = [] {
        QAccessible::installFactory(noticeInterface);
        return true;
    }();
    (void)installed;
    for (QWidget*& notice : m_notices) {
        notice = makeNotice(window);
        notice->hide();
    }
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
    m_notices[m_newest]->hide();
    m_newest = (m_newest + 1) % NoticeCount;
    QWidget* notice = m_notices[m_newest];
    notice->setAccessibleName(message);
    notice->show();
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
