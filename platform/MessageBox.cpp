#include "platform/MessageBox.h"

#include <cstdio>

namespace {
MessageBoxPresenter& Presenter() {
    static MessageBoxPresenter presenter;
    return presenter;
}
} // namespace

void SetMessageBoxPresenter(MessageBoxPresenter presenter) { Presenter() = std::move(presenter); }

void ShowMessageBox(const char* caption, const char* text) {
    const char* c = caption ? caption : "";
    const char* t = text ? text : "";
    if (Presenter() && Presenter()(c, t)) return;
    std::fprintf(stderr, "%s: %s\n", c, t);
    std::fflush(stderr);
}
