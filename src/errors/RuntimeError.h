#pragma once

#include <QString>

#include <exception>

namespace nw {

// A run-time failure: an error number and its description. Routines throw it; the handler helpers in
// ErrorHandler.h catch it and report it.
class RuntimeError : public std::exception {
public:
    explicit RuntimeError(int number) : RuntimeError(number, standardErrorText(number)) {}
    RuntimeError(int number, QString description) : m_number(number), m_description(std::move(description)) {}

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return "nw::RuntimeError"; }

    // A one-line description of a run-time error number.
    static QString standardErrorText(int number);

private:
    int m_number;
    QString m_description;
};

} // namespace nw
