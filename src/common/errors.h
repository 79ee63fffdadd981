#pragma once
// Failures are exceptions. `Error` carries a message for the user (Russian);
// `SilentAbort` ends an operation without any message (a handler that cancels
// an action, a check that already told the user what is wrong).

#include <QString>
#include <stdexcept>

namespace talvora {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "operation aborted"; }
};

} // namespace talvora
