// The design's hop and what it costs: the form's messages pass SetWindowLongA's re-pointed
// procedure and CallWindowProcA on their way to the form, and a clear sends one notification per
// node. Measured alone, beside the repeated scan, so that its share of the clear is known.
#pragma once
class BenchHost;
class Form1;
class TreeViewControl;

// Gives `tree` the look of `model`: same font, same item height (a clear costs what its items look like).
void LookLike(TreeViewControl& tree, TreeViewControl& model);
// Microseconds per tree notification through each route to the form and to plain parents.
void PrintPerNotification(Form1& form, BenchHost& host);
// The form's last tree cleared under a parent behind the hop alone, against the plain parent.
void PrintHopClear(Form1& form, BenchHost& host, int rounds);
