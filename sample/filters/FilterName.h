/* The filter's name as a string, from the bare word TWX_FILTER (C++ and resources). */
#ifndef TWX_FILTER_NAME_H
#define TWX_FILTER_NAME_H

#ifndef TWX_FILTER
#error "TWX_FILTER must name the filter"
#endif
#define TWX_FILTER_STRING2(name) #name
#define TWX_FILTER_STRING(name) TWX_FILTER_STRING2(name)
#define TWX_FILTER_NAME TWX_FILTER_STRING(TWX_FILTER)

#endif
