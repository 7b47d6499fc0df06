// The "确定"/"取消" buttons of the small dialogs (objectNames okButton and
// cancelButton); they accept and reject the dialog, so a dialog's own
// accept() still checks its input.
#pragma once

class QDialog;
class QDialogButtonBox;

QDialogButtonBox* okCancelButtons(QDialog* dialog);
