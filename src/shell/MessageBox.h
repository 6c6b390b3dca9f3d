#pragma once

#include <QString>

#include <functional>
#include <utility>

namespace quorvel {

// The title of every message box the program shows.
inline constexpr char16_t kApplicationTitle[] = u"QUORVEL";

// Shows `text` in a box titled "QUORVEL" with one OK button and no icon, modal to the whole
// program, and returns when the user has closed it.
void showMessage(const QString &text);

// Tests replace the box by a sink that records the text and returns at once. Passing an empty
// function brings the real box back. Returns the previous sink.
using MessageSink = std::function<void(const QString &)>;
MessageSink setMessageSink(MessageSink sink);

// Puts a sink in place for as long as it lives, then brings back the one that was there before,
// however the scope is left: a test that stops at a failed check leaves no sink behind that
// points at its dead objects.
class ScopedMessageSink
{
public:
    explicit ScopedMessageSink(MessageSink sink)
        : m_previous(setMessageSink(std::move(sink)))
    {
    }
    ~ScopedMessageSink() { setMessageSink(std::move(m_previous)); }
    ScopedMessageSink(const ScopedMessageSink &) = delete;
    ScopedMessageSink &operator=(const ScopedMessageSink &) = delete;

private:
    MessageSink m_previous;
};

} // namespace quorvel
