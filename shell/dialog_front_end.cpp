#include "dialog_front_end.h"

#include "text.h"

namespace {
DialogFrontEnd* g_frontEnd = nullptr;
} // namespace

DialogFrontEnd* FrontEnd() {
    return g_frontEnd;
}
void SetFrontEnd(DialogFrontEnd* frontEnd) {
    g_frontEnd = frontEnd;
}

DialogState::Item* DialogState::Find(int control) {
    for (int i = 0; i < count_; ++i)
        if (items_[i].control == control)
            return &items_[i];
    return nullptr;
}

const DialogState::Item* DialogState::Find(int control) const {
    return const_cast<DialogState*>(this)->Find(control);
}

DialogState::Item* DialogState::Add(int control) {
    Item* item = Find(control);
    if (item || count_ == MaxItems)
        return item;
    item = &items_[count_++];
    item->control = control;
    item->hasText = false;
    item->check = NoCheck;
    item->text[0] = 0;
    return item;
}

bool DialogState::SetText(int control, const char* text) {
    Item* item = Add(control);
    if (!item)
        return false;
    CopyText(item->text, sizeof item->text, text);
    item->hasText = true;
    return true;
}

bool DialogState::SetCheck(int control, bool checked) {
    Item* item = Add(control);
    if (!item)
        return false;
    item->check = checked ? 1 : 0;
    return true;
}

bool DialogState::HasText(int control) const {
    const Item* item = Find(control);
    return item && item->hasText;
}

const char* DialogState::Text(int control) const {
    const Item* item = Find(control);
    return item ? item->text : "";
}

int DialogState::Check(int control) const {
    const Item* item = Find(control);
    return item ? item->check : NoCheck;
}
