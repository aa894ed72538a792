/* Resource identifiers shared by vorelo.rc and the C++ sources.
 * Plain #defines only: this file is read by both the resource compiler
 * and the C++ compiler. The idle icon has the lowest ID so Explorer uses
 * it as the executable's icon. */
#ifndef VORELO_RESOURCE_IDS_H
#define VORELO_RESOURCE_IDS_H

#define IDI_IDLE 1
#define IDI_SEND 2

/* The input box of 添加 and its controls. */
#define IDD_INPUT_BOX 100
#define IDC_INPUT_PROMPT 1001
#define IDC_INPUT_TEXT 1002

#endif /* VORELO_RESOURCE_IDS_H */
