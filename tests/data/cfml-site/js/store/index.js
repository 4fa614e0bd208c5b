export const store = {};
