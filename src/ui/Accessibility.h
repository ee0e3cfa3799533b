#pragma once
// Roles, names and actions of the screens' own widgets for screen readers
// (QAccessible). Qt's interfaces know only its standard widgets; these say
// what ours are:
//   BtnView          Button, named by its caption, "Press" action
//   ClickableText    Link, named by its text, "Press" action
//   ImageToggle      CheckBox, named by its label; "Toggle" and "Press" click it
//   plain QWidget    Window, when top-level, named by its title
//   ProgressBarView  ProgressBar, named by the window title; its value is the
//                    percentage, its value text the status line under the bar
//   AlertView        AlertMessage, named by its title
//   ExitAlertWindow  Dialog, named by its question
// Names are the texts shown, so they follow the interface language.

namespace Accessibility {

// Registers the interfaces; once per process, further calls do nothing.
void install();

} // namespace Accessibility
