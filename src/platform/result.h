#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>

namespace quillharbor {

// What went wrong, for the user and for the caller's decisions.
struct Error {
    std::string text;
    int code = 0;  // the errno value when the system refused, otherwise 0
};

// "cannot <action> '<path>': <reason>", keeping the errno value for callers that tell cases apart
// (a missing file is often not a failure for them).
inline Error systemError(std::string_view action, std::string_view path, int code) {
    std::string text = "cannot ";
    text += action;
    text += " '";
    text += path;
    text += "': ";
    text += std::generic_category().message(code);
    return Error{std::move(text), code};
}

// A value or the reason there is none. Asking for the value of a failed result is a programming
// error (it throws std::bad_variant_access); ask ok() first.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T valueOr(T fallback) const& { return ok() ? value() : std::move(fallback); }

    const Error& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

// Success, or the reason for failure. A default-constructed Status is a success; error() of a
// success throws std::bad_optional_access.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error; }
    explicit operator bool() const { return ok(); }

    const Error& error() const { return m_error.value(); }

private:
    std::optional<Error> m_error;
};

using Status = Result<void>;

}  // namespace quillharbor
