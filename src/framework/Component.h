#pragma once
// Components: named objects that own the components created with them as
// owner and destroy them with themselves. A layout fills them in while they
// are loading.
#include <string>
#include <string_view>
#include <vector>

class TForm;
struct TControlDef;

class TComponent {
public:
    explicit TComponent(TComponent *Owner);
    virtual ~TComponent();
    TComponent(const TComponent &) = delete;
    TComponent &operator=(const TComponent &) = delete;

    std::string Name;

    TComponent *Owner() const { return owner_; }
    const std::vector<TComponent *> &Components() const { return components_; }
    TComponent *FindComponent(std::string_view Name) const;

    // Set while a layout is applied; Loaded ends it.
    bool Loading() const { return loading_; }
    void BeginLoading() { loading_ = true; }
    virtual void Loaded() { loading_ = false; }
    // Applies the common and the class's own properties of a layout entry.
    virtual void ApplyDef(const TControlDef &Def, TForm &Form);

private:
    TComponent *owner_;
    std::vector<TComponent *> components_;
    bool loading_ = false;
};
