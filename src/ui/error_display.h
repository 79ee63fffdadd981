#pragma once
// The general error message. Operations fail by throwing; what a handler
// lets through is shown in one error box and the window stays usable. A
// silent abort ends the operation without a word.
//
// Handlers connected to controls are wrapped with guarded() so that no
// exception crosses Qt's own frames; the application object catches what
// still gets through.

#include <exception>
#include <type_traits>
#include <utility>

namespace talvora::ui {

void showGeneralError(const std::exception_ptr& error);

template <class F>
auto guarded(F f)
{
    // Signals may pass more arguments than the handler takes (clicked's
    // "checked"); a handler without parameters is called without them.
    return [f = std::move(f)](auto&&... args) {
        try {
            if constexpr (std::is_invocable_v<const F&, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        } catch (...) {
            showGeneralError(std::current_exception());
        }
    };
}

} // namespace talvora::ui
