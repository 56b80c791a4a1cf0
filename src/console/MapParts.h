#pragma once
// What the main window keeps for Tools > Map: the one tile store, the
// service that fills it, and the window.
#include <memory>

#include "console/CSetApDlg.h"
#include "map/CMapDlg.h"
#include "map/TileService.h"
#include "map/TileStore.h"

struct CSetApDlg::MapParts {
  apdesk::map::TileStore store;
  std::unique_ptr<apdesk::map::TileService> service;
  std::unique_ptr<CMapDlg> window;
};
