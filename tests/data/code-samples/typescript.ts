import { Injectable } from '@angular/core';

interface User {
  id: number;
  name: string;
  email?: string;
}

type Status = 'active' | 'disabled';

export class UserService {
  private readonly cache: Map<number, User> = new Map();

  constructor(private http: HttpClient) {}

  find(id: number): User | undefined {
    let found: User | undefined = this.cache.get(id);
    return found;
  }
}
