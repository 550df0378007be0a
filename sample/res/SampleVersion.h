/* Version numbers of the product's programs, shared by C++ and the resource
   scripts. The release and the pre-release build of the main program differ
   only in the build number and in what TWX_PRE_RELEASE switches off. */
#ifndef TWX_SAMPLE_VERSION_H
#define TWX_SAMPLE_VERSION_H

#define TWX_VERSION_MAJOR 5
#define TWX_VERSION_MINOR 3
#define TWX_RELEASE_BUILD 31
#define TWX_PRE_RELEASE_BUILD 27

#ifdef TWX_PRE_RELEASE
#define TWX_BUILD TWX_PRE_RELEASE_BUILD
#define TWX_VERSION_TEXT "5.3 pre-release"
#else
#define TWX_BUILD TWX_RELEASE_BUILD
#define TWX_VERSION_TEXT "5.3"
#endif

#define TWX_COMPANY "Varnholt Technologies"
#define TWX_PRODUCT "Trawlmark 5.3"

#endif
