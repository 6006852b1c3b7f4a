#pragma once

#include <QString>
#include <stdexcept>

namespace kvu {

// An error meant for the operator: its text is shown as it stands by the top-level error report.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &text) : std::runtime_error(text.toStdString()), text_(text) {}
    QString text() const { return text_; }

private:
    QString text_;
};

// A text that should have held a number (or hexadecimal digits) did not.
class ConvertError : public Error
{
public:
    using Error::Error;
};

} // namespace kvu
