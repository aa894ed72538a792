/* Resource identifiers shared by vorelo.rc and the C++ sources.
 * Plain #defines only: this file is read by both the resource compiler
 * and the C++ compiler. The idle icon has the lowest ID so Explorer uses
 * it as the executable's icon. */
#ifndef VORELO_RESOURCE_IDS_H
#define VORELO_RESOURCE_IDS_H

#define IDI_IDLE 1
#define IDI_SEND 2

#endif /* VORELO_RESOURCE_IDS_H */
