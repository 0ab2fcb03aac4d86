// The Clip Player's windows as the rest of the program sees them: the launcher behind the
// console's "Clip Player" button, the one user picker and the open Clip Player window.
#pragma once

class QWidget;
class frmPickUser;
class frmClipPlay;

namespace brisko::clip {

// The console's "Clip Player" button: shows the user picker.
void showUserPicker(QWidget* owner = nullptr);
// The picker, built on first use and afterwards only shown and hidden.
frmPickUser* userPicker();
// The open Clip Player window, or nullptr.
frmClipPlay* clipWindow();
// Closes an open Clip Player window (closing its button channels) and opens a new one for the
// current user; tells the operator what is wrong with the user's files, if anything.
frmClipPlay* openClipWindow();
// Closes the Clip Player window and deletes the picker (tests, and the end of the program).
void closeClipPlayer();

}  // namespace brisko::clip
