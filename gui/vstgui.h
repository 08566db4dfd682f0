// The widget layer the editor is written against, in one include.
#pragma once

#include "gui/cbitmap.h"
#include "gui/cbuttons.h"
#include "gui/ccontrol.h"
#include "gui/cdrawcontext.h"
#include "gui/cfileselector.h"
#include "gui/cframe.h"
#include "gui/cgeometry.h"
#include "gui/cknob.h"
#include "gui/coptionmenu.h"
#include "gui/csplashscreen.h"
#include "gui/cmenupopup.h"
#include "gui/ctooltipsupport.h"
#include "gui/cview.h"
