// The "确定"/"取消" row of the small dialogs, right-aligned; the buttons accept
// and reject the dialog (so a dialog's own accept() still checks its input).
#pragma once

class QDialog;
class QHBoxLayout;

QHBoxLayout* okCancelRow(QDialog* dialog);
