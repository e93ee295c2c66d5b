// --frames: each frame handed to threads of its own that compress and write
// it as a PNG file, so that compression, most of a frame's cost, runs on
// every core while the show goes on drawing.
#pragma once
#include <cstdint>
#include <string>

// Starts one writing thread per core.
void frame_files_open();
// Copies the frame and queues it for path; waits while every copy is taken.
// False with the first failure of any earlier frame, or when asked to stop.
bool frame_files_write(const std::string& path, const uint32_t* pixels, std::string* error);
// Waits until every queued frame is written and ends the threads; false
// with the first failure. Also the way out of a failed or interrupted run:
// frames already being written are finished, those not yet begun dropped.
bool frame_files_close(std::string* error);
