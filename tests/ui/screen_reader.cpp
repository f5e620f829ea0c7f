#include "tests/ui/screen_reader.h"

#include <QTest>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <private/qguiapplication_p.h>

namespace quillet::testing {

namespace {
ScreenReader* current = nullptr;

void setPlatformActive(bool active) {
    // The offscreen platform has Qt's plain platform accessibility, with no
    // bridge behind it: switching it on tells the game's activation observers
    // and makes QAccessible::isActive() true.
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(active);
}
}  // namespace

ScreenReader::ScreenReader(bool listening) : m_listening(listening) {
    current = this;
    QAccessible::installUpdateHandler(&ScreenReader::record);
    if (listening) setPlatformActive(true);
}

ScreenReader::~ScreenReader() {
    if (m_listening) setPlatformActive(false);
    QAccessible::installUpdateHandler(nullptr);
    current = nullptr;
}

void ScreenReader::record(QAccessibleEvent* event) {
    if (!current) return;
    ++current->events;
    if ((event->type() == QAccessible::NameChanged ||
         event->type() == QAccessible::DescriptionChanged) &&
        !event->object()->inherits("quillet::PauseCover")) {
        ++current->commentary;
    }
    if (event->type() != QAccessible::ObjectShow) return;
    QAccessibleInterface* shown = event->accessibleInterface();
    if (shown && shown->role() == QAccessible::Notification) {
        ++current->commentary;
        current->spoken.push_back(shown->text(QAccessible::Name).toStdString());
    }
}

bool ScreenReader::waitForSpoken(std::size_t count) {
    return QTest::qWaitFor([this, count] { return spoken.size() >= count; });
}

}  // namespace quillet::testing
