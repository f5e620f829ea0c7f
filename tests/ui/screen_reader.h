#pragma once

#include <string>
#include <vector>

#include <QAccessible>

namespace quillet::testing {

// Stands in for a screen reader for the length of a scope, through Qt's own
// hook for what goes to assistive technology (as Qt's accessibility tests
// do). Listening, it switches Qt's platform accessibility on, as a reader on
// the accessibility bus would, and every event Qt then sends lands here
// instead. Not listening, it still counts whatever would have been sent.
class ScreenReader {
public:
    explicit ScreenReader(bool listening = true);
    ~ScreenReader();
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    // What the reader would speak of the game's notifications, in order.
    std::vector<std::string> spoken;
    // Every event Qt handed to the reader, notifications included. Qt 6.4
    // hands none while no reader listens; Qt 6.8 hands on its own widgets'
    // events (focus, states) all the same.
    int events = 0;
    // The events that only the game's commentary makes: a changed name or
    // description of a cell, a next-pair image or a counter, a notification
    // shown. (The pause cover names itself as it is made, reader or not.)
    int commentary = 0;

    // Waits, in the event loop, until `count` messages have been spoken.
    bool waitForSpoken(std::size_t count);

private:
    static void record(QAccessibleEvent* event);
    bool m_listening;
};

}  // namespace quillet::testing
