#include <atomic>

#include "platform/ui/dialog_template.h"

namespace tallow::ui {

namespace {

// Registered at start-up, before the first window; a test may swap in its
// own while no window is open.
std::atomic<const ResourceTables*> g_tables{nullptr};

template <typename T>
const T* FindById(std::span<const T* const> entries, int id) {
  for (const T* entry : entries) {
    if (entry->id == id) return entry;
  }
  return nullptr;
}

}  // namespace

const ResourceTables* RegisterResources(const ResourceTables* tables) {
  return g_tables.exchange(tables, std::memory_order_acq_rel);
}

const DialogTemplate* FindDialogTemplate(int id) {
  const ResourceTables* tables = g_tables.load(std::memory_order_acquire);
  return tables ? FindById(tables->dialogs, id) : nullptr;
}

const MenuTemplate* FindMenuTemplate(int id) {
  const ResourceTables* tables = g_tables.load(std::memory_order_acquire);
  return tables ? FindById(tables->menus, id) : nullptr;
}

const IconImage* FindIconImage(int id) {
  const ResourceTables* tables = g_tables.load(std::memory_order_acquire);
  if (!tables) return nullptr;
  for (const IconImage& icon : tables->icons) {
    if (icon.id == id) return &icon;
  }
  return nullptr;
}

}  // namespace tallow::ui
