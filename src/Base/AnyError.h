#pragma once

#include <any>
#include <utility>

#include <QString>

// A failure of any component on its way to the one alert: keeps the typed original (so a caller
// can single out one case) and its French description, the only text a user ever sees.
class AnyError {
public:
    template <class E>
        requires requires(const E& e) {
            { e.description() } -> std::convertible_to<QString>;
        } && (!std::same_as<std::decay_t<E>, AnyError>)
    AnyError(E error) : m_description(error.description()), m_value(std::move(error)) {}

    QString description() const { return m_description; }

    // The original error if it is an E, else null.
    template <class E>
    const E* as() const {
        return std::any_cast<E>(&m_value);
    }

private:
    QString m_description;
    std::any m_value;
};
