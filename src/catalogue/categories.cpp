// SPDX-License-Identifier: GPL-3.0-or-later
// The categories: CATEGORYQUEUE collected while the file loads, one sheet tab
// per category (tabOfCategory(i) shows entry i), re-titling the tabs when the list
// changes, and removing a category whose tab is found empty. Tabs keep their
// numbers and places; when the list changes, their texts move.
#include "catalogue/display_glimra.h"
#include "catalogue/main_window_controls.h"
#include "program/messages.h"

namespace glimra::catalogue {

using namespace control;

void DisplayGlimra::collectCategory() {
  if (GL.CATEGORY.isBlank()) return;
  CATEGORYQUEUE.buffer.CATEGORY = GL.CATEGORY;
  if (CATEGORYQUEUE.getByKey(&CategoryEntry::CATEGORY)) return;
  CATEGORYQUEUE.buffer.CATEGORY = GL.CATEGORY;
  CATEGORYQUEUE.insertOrdered(&CategoryEntry::CATEGORY);
  CHECKERROR(runtime_, "Can't Add Category");
}

void DisplayGlimra::createCategoryTabs() {
  for (int i = 1; i <= CATEGORYQUEUE.count(); ++i) {
    CATEGORYQUEUE.get(i);
    CHECKERROR(runtime_, "Can't Get Category");
    window_->createTab(control::SHEET, tabOfCategory(i), CATEGORYQUEUE.buffer.CATEGORY.clipped());
  }
}

void DisplayGlimra::destroyCategoryTabs() {
  if (CATEGORYQUEUE.count() > 0) window_->destroy(tabOfCategory(1), tabOfCategory(CATEGORYQUEUE.count()));
}

void DisplayGlimra::R_INSERTCATEGORY() {
  if (GL.CATEGORY.isBlank()) return;
  CATEGORYQUEUE.buffer.CATEGORY = GL.CATEGORY;
  if (CATEGORYQUEUE.getByKey(&CategoryEntry::CATEGORY)) return;
  CATEGORYQUEUE.buffer.CATEGORY = GL.CATEGORY;
  // The new category's tab takes the place after the last category, where
  // the find tab stands: the find tab goes.
  removeFindTab();
  CATEGORYQUEUE.insertOrdered(&CategoryEntry::CATEGORY);
  CHECKERROR(runtime_, "Can't Add Category");
  window_->createTab(control::SHEET, tabOfCategory(CATEGORYQUEUE.count()), "");
  R_RENAMECATEGORIES();
}

void DisplayGlimra::R_RENAMECATEGORIES() {
  for (int i = 1; i <= CATEGORYQUEUE.count(); ++i) {
    CATEGORYQUEUE.get(i);
    window_->setText(tabOfCategory(i), CATEGORYQUEUE.buffer.CATEGORY.clipped());
  }
}

void DisplayGlimra::R_DELETECATEGORY() {
  CATEGORYQUEUE.get(categoryOfTab(CURRENTTAB));
  CHECKERROR(runtime_, "Can't Get Sheet Choice");
  CATEGORYQUEUE.deleteLastRead();
  window_->destroy(tabOfCategory(CATEGORYQUEUE.count() + 1));
  R_RENAMECATEGORIES();
}

}  // namespace glimra::catalogue
