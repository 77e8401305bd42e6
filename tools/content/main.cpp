// tarvel_content - writes the demo's data set into a run folder.
int main() { return 0; }
