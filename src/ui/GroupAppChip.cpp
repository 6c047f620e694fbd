#include "ui/GroupAppChip.h"

GroupAppChip::GroupAppChip(const QString& bundleID, std::function<void()> onRemove, QWidget* parent)
    : ExcludedAppChip(bundleID, std::move(onRemove), parent)
{
}
