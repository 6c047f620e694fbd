#pragma once

#include <QString>

// Takes over the data the product kept under its former name: the items of the folder
// "Vornt" beside the data folder are copied once into "Quenvil", never over anything
// already there, and the marker ".migrated-from-vornt" records that it happened.
namespace LegacyMigration {

// Runs `migrate` for this data home unless it already ran in this process.
void runOnce(const QString& dataHome);

// The migration itself. The marker is written only when every copy that was attempted
// succeeded, so a failed copy is retried at the next start. Symbolic links are never
// followed, at any depth.
void migrate(const QString& dataHome);

} // namespace LegacyMigration
