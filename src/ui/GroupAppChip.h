#pragma once

#include "ui/ExcludedAppChip.h"

// One application identifier of a snippet group's scope list; it looks and behaves exactly
// like the chips of the spelling-exclusion list.
class GroupAppChip : public ExcludedAppChip
{
    Q_OBJECT

  public:
    explicit GroupAppChip(const QString& bundleID, std::function<void()> onRemove = {},
                          QWidget* parent = nullptr);
};
