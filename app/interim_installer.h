// What the entry points run until the product's own opening and closing
// take its place: the product's installer with the opening dialogs
// (welcome, destination, options) over the embedded script.
#pragma once

#include "product_installer.h"
#include "product_script.h"

class InterimInstaller : public ProductInstaller {
  public:
    explicit InterimInstaller(HINSTANCE instance);
    ResultCode Initialize() override;

  private:
    ProductScript script_;
};
