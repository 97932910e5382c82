#include "framework/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent *Owner) : owner_(Owner) {
    if (owner_)
        owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    while (!components_.empty())
        delete components_.back(); // each one leaves the list itself
    if (owner_)
        std::erase(owner_->components_, this);
}

TComponent *TComponent::FindComponent(std::string_view Name) const {
    for (TComponent *c : components_)
        if (c->Name == Name)
            return c;
    return nullptr;
}

void TComponent::ApplyDef(const TControlDef &, TForm &) {}
