#pragma once
// Everything the windows need to change a picture, in one include.
//
//   Picture pic(bitmap);                        a bitmap with its selection and floater
//   pic.apply("Sharpen", {200});                any of the 27 operations by name, in the units the
//                                               tools window passes (table in operation_table.h);
//                                               colour operations and filters stay inside the selection
//   pic.setRegion(Region::ellipse(l, t, w, h)); selections: rectangle, ellipse, roundedRectangle,
//   pic.HasRgn(); pic.FreeRgn(); pic.RgnLeft(); polygon (freehand)
//   pic.liftFloater(); pic.moveFloater(dx, dy); the floating selection while it is dragged
//   Bitmap bg = pic.dropFloater();              ... and dropped: returns the new background
//   pic.pasteBitmap(bg, left, top);             restore a background (copy mode 288)
//   pic.cropToRegion();                         crop to the selection
//
// The operations also exist as plain functions on a Bitmap (point_ops.h, geometry.h,
// filters.h, effects.h) for code that has no selection to care about.

#include "ops/effects.h"
#include "ops/filters.h"
#include "ops/floater.h"
#include "ops/geometry.h"
#include "ops/operation_table.h"
#include "ops/picture.h"
#include "ops/point_ops.h"
#include "ops/region.h"
