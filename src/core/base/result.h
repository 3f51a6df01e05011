#pragma once
// The one way the core says what happened. An operation that can fail (it reads or writes a file,
// or it can refuse its input) returns a Result<T>: the value, or an Error with its kind and the
// message text to show. A Status is a Result without a value. Test with ok(); value() and error()
// may only be asked for the side that is there.
//
//     Result<PatchText> read = ReadPatchFile(path);
//     if (!read.ok())
//         return read.error(); // kind() tells why, message() says it to the user
//
// Something simply found or not found is a std::optional, not a Result.

#include <cassert>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace patchlens {

enum class ErrorKind {
    NotFound,    // nothing is there by that name
    Unreadable,  // it is there, but could not be read (a folder, a device, no permission, ...)
    TooLarge,    // not read: larger than any file of its kind
    Refused,     // read, but the program does not take it (a newer schema, a bad name, ...)
    WriteFailed, // could not be written; what was there before is untouched
};

class Error {
public:
    Error(ErrorKind kind, std::string message) : m_kind(kind), m_message(std::move(message)) {}

    static Error NotFound(std::string message) { return {ErrorKind::NotFound, std::move(message)}; }
    static Error Unreadable(std::string message) { return {ErrorKind::Unreadable, std::move(message)}; }
    static Error TooLarge(std::string message) { return {ErrorKind::TooLarge, std::move(message)}; }
    static Error Refused(std::string message) { return {ErrorKind::Refused, std::move(message)}; }
    static Error WriteFailed(std::string message) { return {ErrorKind::WriteFailed, std::move(message)}; }

    // The same error, found at byte `position` of a text that was read (a filter typed, say).
    Error At(std::size_t position) && {
        m_position = position;
        return std::move(*this);
    }

    ErrorKind kind() const { return m_kind; }
    // The text to show: whole sentences, lines joined by CR LF where there are several.
    const std::string &message() const { return m_message; }
    // Where in the text read the trouble lies, when the error is about a text.
    std::optional<std::size_t> position() const { return m_position; }

private:
    ErrorKind m_kind;
    std::string m_message;
    std::optional<std::size_t> m_position;
};

template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }

    const T &value() const & { return assert(ok()), std::get<0>(m_state); }
    T &value() & { return assert(ok()), std::get<0>(m_state); }
    T &&value() && { return assert(ok()), std::get<0>(std::move(m_state)); }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }

    // The value, or `fallback` when there is none.
    T value_or(T fallback) const & { return ok() ? value() : std::move(fallback); }
    T value_or(T fallback) && { return ok() ? std::move(*this).value() : std::move(fallback); }

    const Error &error() const { return assert(!ok()), std::get<1>(m_state); }
    // The error's message, or the empty text when there is a value.
    std::string message() const { return ok() ? std::string{} : error().message(); }

private:
    std::variant<T, Error> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default; // success
    Result(Error error) : m_error(std::move(error)), m_failed(true) {}

    bool ok() const { return !m_failed; }
    const Error &error() const { return assert(!ok()), m_error; }
    std::string message() const { return ok() ? std::string{} : m_error.message(); }

private:
    Error m_error{ErrorKind::WriteFailed, {}};
    bool m_failed = false;
};

using Status = Result<void>;

} // namespace patchlens
