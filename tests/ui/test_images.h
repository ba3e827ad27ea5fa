// Ids of the test images (test_images.rc).
#pragma once

// A valid 4 x 2 RGBA PNG, stored once as "PNG" and once as RCDATA.
#define TEST_PNG_FOUR_BY_TWO 901
#define TEST_RCDATA_FOUR_BY_TWO 902
// A "PNG" resource whose bytes are text.
#define TEST_PNG_UNDECODABLE 903
