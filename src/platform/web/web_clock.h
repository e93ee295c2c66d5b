// The page's clock counts from platform initialisation, which calls this.
#pragma once

void web_clock_start();
